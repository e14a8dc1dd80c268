// The Text tab: the four digests of whatever is typed, recomputed in full
// after every change of the text.
#pragma once

// Creates the tab's controls on the current tab page; the digest fields get
// `resultFont`.
void CreateTextTab(int resultFont);

// Reads TextInput afresh and fills the four digest fields.
void RefreshTextDigests();
