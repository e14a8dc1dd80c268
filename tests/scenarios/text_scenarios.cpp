// The Text tab: what is typed is hashed as the system's 8-bit bytes, and the
// four fields hold exactly an empty line, the digest (in halves for the two
// long ones) and a final line break.
#include <string>

#include "digest/sha256_digests.h"
#include "digest/sha512_digests.h"
#include "tests/scenarios/scenario_support.h"

namespace {

class Typing : public testing::Test {
protected:
    void SetUp() override { ResetProgram(); }
};

// What each field must hold for these bytes, by the engine.
struct FieldTexts {
    std::string sha512, sha384, sha256, sha224;
};

FieldTexts ExpectedFields(const std::string& bytes)
{
    auto length = static_cast<std::int32_t>(bytes.size());
    return {
        DigestFieldText(Sha512MemoryDigest(bytes.data(), length)),
        DigestFieldText(Sha384MemoryDigest(bytes.data(), length)),
        DigestFieldText(Sha256MemoryDigest(bytes.data(), length)),
        DigestFieldText(Sha224MemoryDigest(bytes.data(), length)),
    };
}

void ExpectFields(const FieldTexts& expected, const std::string& what)
{
    EXPECT_EQ(tk::GetControlText(Sha512Field), expected.sha512) << what;
    EXPECT_EQ(tk::GetControlText(Sha384Field), expected.sha384) << what;
    EXPECT_EQ(tk::GetControlText(Sha256Field), expected.sha256) << what;
    EXPECT_EQ(tk::GetControlText(Sha224Field), expected.sha224) << what;
}

struct TypedCase {
    const char* typed;  // UTF-8, as the user types it
    const char* bytes;  // what is hashed: the system's 8-bit code page
    const char* sha256; // FIPS 180-4 / well-known value, independent of the engine
};

// On Linux the 8-bit code page is the locale's, UTF-8 here; on Windows it is
// the ANSI code page, Windows-1252 on the machines the tests run on.
#ifdef _WIN32
constexpr const char* EAcuteBytes = "\xE9";
#else
constexpr const char* EAcuteBytes = "\xC3\xA9";
#endif

}  // namespace

TEST_F(Typing, FieldsShowTheDigestsOfWhatIsTyped)
{
    const TypedCase cases[] = {
        {"", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"\xC3\xA9", EAcuteBytes, nullptr},
    };
    for (const TypedCase& typed : cases) {
        tk::drive::ReplaceText(TextInput, typed.typed);
        ServeEvents();
        ASSERT_EQ(tk::GetTextInSystemCodePage(TextInput), typed.bytes) << typed.typed;
        ExpectFields(ExpectedFields(typed.bytes), std::string("typed \"") + typed.typed + "\"");
        if (typed.sha256 != nullptr) {
            EXPECT_EQ(tk::GetControlText(Sha256Field), FieldText({typed.sha256}));
        }
    }
}

TEST_F(Typing, FieldsHoldTheFipsExampleDigestsOfAbc)
{
    tk::drive::ReplaceText(TextInput, "abc");
    ServeEvents();
    EXPECT_EQ(tk::GetControlText(Sha512Field),
              FieldText({"ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a",
                         "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"}));
    EXPECT_EQ(tk::GetControlText(Sha384Field),
              FieldText({"cb00753f45a35e8bb5a03d699ac65007272c32ab0eded163",
                         "1a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"}));
    EXPECT_EQ(tk::GetControlText(Sha224Field), FieldText({"23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"}));
}

// Every keystroke is one change, and every change recomputes all four digests
// over the whole text; deleting everything shows the empty text's digests.
TEST_F(Typing, EveryKeystrokeRecomputesEveryField)
{
    const char* keys[] = {"a", " ", "b", "\xC3\xA9", "z"};
    std::string typed;
    for (const char* key : keys) {
        typed += key;
        tk::drive::TypeText(TextInput, key);
        int changes = 0;
        tk::Event event{};
        while (tk::drive::PollEvent(event)) {
            HandleEvent(event);
            if (event.control == TextInput && event.kind == tk::EventKind::TextChanged) {
                ++changes;
            }
        }
        EXPECT_EQ(changes, 1) << "typing \"" << key << "\"";
        ASSERT_EQ(tk::GetControlText(TextInput), typed);
        ExpectFields(ExpectedFields(tk::GetTextInSystemCodePage(TextInput)), "after typing \"" + typed + "\"");
    }

    tk::drive::ReplaceText(TextInput, "");
    ServeEvents();
    ExpectFields(ExpectedFields(""), "after deleting everything");
}

// The loop recomputes on a change of the text and on nothing else of the
// input (receiving or losing the focus, say); the close request ends it.
TEST_F(Typing, OnlyAChangeOfTheTextRecomputes)
{
    tk::drive::ReplaceText(TextInput, "abc");
    ServeEvents();
    std::string shown = tk::GetControlText(Sha256Field);

    tk::ClearRichText(Sha256Field);
    EXPECT_TRUE(HandleEvent({tk::EventKind::Other, TextInput}));
    EXPECT_EQ(tk::GetControlText(Sha256Field), "");
    for (int other : {PromptLabel, Sha256Field, OptionSha256, FileList, TaskList, MainPanel, ProgressRing}) {
        EXPECT_TRUE(HandleEvent({tk::EventKind::Other, other}));
        EXPECT_TRUE(HandleEvent({tk::EventKind::Click, other}));
    }
    EXPECT_EQ(tk::GetControlText(Sha256Field), "");
    EXPECT_EQ(tk::CountListItems(TaskList), 0);
    EXPECT_EQ(tk::drive::SelectedTab(MainPanel), TextTab);

    EXPECT_TRUE(HandleEvent({tk::EventKind::TextChanged, TextInput}));
    EXPECT_EQ(tk::GetControlText(Sha256Field), shown);

    EXPECT_FALSE(HandleEvent({tk::EventKind::CloseRequest, -1}));
}

// The program sets no length limit of its own: a long text is hashed whole.
TEST_F(Typing, LongTextIsHashedWhole)
{
    std::string text(100000, 'q');
    text.back() = 'z';
    tk::drive::ReplaceText(TextInput, text);
    ServeEvents();
    EXPECT_EQ(tk::GetTextInSystemCodePage(TextInput).size(), text.size());
    ExpectFields(ExpectedFields(text), "a text of 100000 characters");
}
