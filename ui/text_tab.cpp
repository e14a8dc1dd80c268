// The Text tab. The text hashed is the input's text as bytes of the system's
// 8-bit code page, read afresh on every change; nothing is kept between calls.
#include "ui/text_tab.h"

#include <cstdint>
#include <string>

#include "digest/sha256_digests.h"
#include "digest/sha512_digests.h"
#include "platform/toolkit.h"
#include "ui/main_window.h"

namespace {

// One label and its digest field, placed from a running vertical offset.
struct DigestRow {
    int label;
    const char* caption;
    int field;
    int fieldHeight;  // the two-line fields are taller
};

constexpr DigestRow DigestRows[] = {
    {Sha512Label, "SHA512:", Sha512Field, 46},
    {Sha384Label, "SHA384:", Sha384Field, 46},
    {Sha256Label, "SHA256:", Sha256Field, 36},
    {Sha224Label, "SHA224:", Sha224Field, 36},
};

// The field's whole text becomes: a line break, then each part followed by a
// line break.
void FillDigestField(int field, const std::string* parts, int count)
{
    tk::ClearRichText(field);
    tk::InsertRichTextLine(field, 0, "");
    for (int k = 1; k <= count; ++k) {
        tk::InsertRichTextLine(field, k, parts[k - 1]);
    }
}

void FillWithHalves(int field, const DigestText& digest)
{
    std::size_t half = digest.size() / 2;
    const std::string parts[2] = {digest.substr(0, half), digest.substr(digest.size() - half)};
    FillDigestField(field, parts, 2);
}

void FillWithWhole(int field, const DigestText& digest)
{
    FillDigestField(field, &digest, 1);
}

}  // namespace

void CreateTextTab(int resultFont)
{
    tk::CreateLabel(PromptLabel, 0, 10, 500, 20, "Type something:", tk::Align::Centre);
    tk::CreateTextInput(TextInput, 10, 30, 480, 20);
    int y = 70;
    for (const DigestRow& row : DigestRows) {
        tk::CreateLabel(row.label, 12, y, 100, 17, row.caption, tk::Align::Left);
        tk::CreateRichTextField(row.field, 10, y + 17, 480, row.fieldHeight);
        tk::ShowScrollBar(row.field, tk::ScrollBar::Vertical, false);
        tk::ShowScrollBar(row.field, tk::ScrollBar::Horizontal, false);
        tk::SetControlFont(row.field, resultFont);
        y += 80;
    }
}

void RefreshTextDigests()
{
    std::string text = tk::GetTextInSystemCodePage(TextInput);
    // The memory digests count in 32 bits; a text input never holds 2 GiB.
    auto length = static_cast<std::int32_t>(text.size());

    FillWithHalves(Sha512Field, Sha512MemoryDigest(text.data(), length));
    FillWithHalves(Sha384Field, Sha384MemoryDigest(text.data(), length));
    FillWithWhole(Sha256Field, Sha256MemoryDigest(text.data(), length));
    FillWithWhole(Sha224Field, Sha224MemoryDigest(text.data(), length));
}
