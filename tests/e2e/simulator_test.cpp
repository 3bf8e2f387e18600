// The simulated printer through its own entry points: sessions, cursors, selections, faults and
// descriptions, each on a query context of its own.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "sim_codes.h"
#include "sim_support.h"
#include "support/debug_trace.h"
#include "support/text_util.h"

namespace {

using simtest::BesideProgram;
using simtest::SimContext;
using simtest::TempFolder;
using namespace vyxsim;

const char kSmallPrinter[] = R"({
  "features": [
    {"key": "A", "name": "Alpha", "selected": "a2",
     "options": [{"value": "a1", "label": "one"}, {"value": "a2", "label": "two"}]},
    {"key": "B", "name": "Beta", "options": [{"value": "b1", "label": "uno"}]}
  ],
  "trays": [{"text1": "T1", "value1": 5, "value2": 500, "text2": "two", "text3": "three",
             "text4": "four"}],
  "toners": [{"text1": "Cyan", "value1": -1, "value2": 65536}],
  "installables": {"duplex": {"installed": true, "text1": "On", "text2": "Duplex unit"},
                   "fax": {"installed": false, "text1": "Off", "text2": "Fax board"}},
  "templates": [{"name": "Plain", "tag": 7, "items": [["k", "v"], ["Copies", "2"]]},
                {"name": "Raw", "tag": 8, "rawItems": "x\nk\tv"}],
  "email": {"enabled": true, "events": 5}
})";

// A 256-byte output buffer filled with a sentinel, read back as the text before its first zero.
struct Out {
    char bytes[256];
    Out() { std::memset(bytes, 0x55, sizeof bytes); }
    std::string text() const { return std::string(bytes, strnlen(bytes, sizeof bytes)); }
    bool untouched() const {
        for (const char c : bytes) {
            if (c != 0x55)
                return false;
        }
        return true;
    }
};

class Sim : public ::testing::Test {
  protected:
    // A context on `description` (none: no description file beside the caller's path).
    std::unique_ptr<SimContext> Context(const char* description = kSmallPrinter) {
        const std::wstring name = L"printer" + std::to_wstring(++serial_);
        if (description) {
            folder_.Write(name + L".json", description);
        }
        return std::make_unique<SimContext>(vyxtest::ToAnsi(folder_.Path() + name + L".dll"));
    }

    std::unique_ptr<SimContext> Open(const char* description = kSmallPrinter) {
        auto sim = Context(description);
        EXPECT_EQ(sim->initialized(), 0);
        sim->OpenEverything();
        return sim;
    }

    TempFolder folder_;
    int serial_ = 0;
};

TEST(SimExports, TheReducedBuildLacksFiveEntryPoints) {
    const std::set<std::string> lacking = {"Color_GetSelectedOption", "Attribute_GetFax",
                                           "Attribute_GetMFPOption", "JobTPlate_GetTemplateItems",
                                           "Misc_GetEMail_Notification"};
    const HMODULE full = LoadLibraryW(BesideProgram(L"VYXBIDI.SNM").c_str());
    const HMODULE reduced = LoadLibraryW(BesideProgram(L"reduced\\VYXBIDI.SNM").c_str());
    ASSERT_TRUE(full && reduced);
#define SIMTEST_NAME_(name, params) #name,
    for (const char* name : {VYXQUERY_ENTRY_POINTS(SIMTEST_NAME_)}) {
        SCOPED_TRACE(name);
        EXPECT_NE(GetProcAddress(full, name), nullptr);
        EXPECT_EQ(GetProcAddress(reduced, name) == nullptr, lacking.count(name) == 1);
    }
#undef SIMTEST_NAME_
    FreeLibrary(full);
    FreeLibrary(reduced);
}

TEST_F(Sim, WithoutADescriptionServesTheBuiltInPrinter) {
    auto sim = Open(nullptr);
    LONG trays = 0, toners = 0, templates = 0;
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetNumTrays, &trays), 0);
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetNumColors, &toners), 0);
    EXPECT_EQ(sim->Call(vyxquery::JobTPlate_QueryTemplateNames, &templates), 0);
    EXPECT_EQ(trays, 4);
    EXPECT_EQ(toners, 4);
    EXPECT_EQ(templates, 5);
}

TEST_F(Sim, CallsNeedAConnectionAndTheirSession) {
    struct Case {
        const char* label;
        std::function<LONG(SimContext&)> call;
        LONG unconnected;  // before VyxQuery_Connect
        LONG sessionless;  // connected, no session open
    };
    Out a, b;
    LONG count = 0, index = 1;
    const Case cases[] = {
        {"Color_SetNextKey", [](SimContext& s) { return s.Call(vyxquery::Color_SetNextKey); },
         kNotConnected, kNoSession},
        {"Color_SetKeyValue",
         [](SimContext& s) { return s.Call(vyxquery::Color_SetKeyValue, "A", "a1"); },
         kNotConnected, kNoSession},
        {"Color_CloseSession", [](SimContext& s) { return s.Call(vyxquery::Color_CloseSession); },
         kNotConnected, kNoSession},
        {"Attribute_GetNumTrays",
         [&](SimContext& s) { return s.Call(vyxquery::Attribute_GetNumTrays, &count); },
         kNotConnected, kNoSession},
        {"Attribute_GetDuplex",
         [&](SimContext& s) { return s.Call(vyxquery::Attribute_GetDuplex, a.bytes, b.bytes); },
         kNotConnected, kNoSession},
        {"Attribute_GetIndexedColors",
         [&](SimContext& s) {
             return s.Call(vyxquery::Attribute_GetIndexedColors, &index, a.bytes, &count, &count);
         },
         kNotConnected, kNoSession},
        {"JobTPlate_QueryTemplateNames",
         [&](SimContext& s) { return s.Call(vyxquery::JobTPlate_QueryTemplateNames, &count); },
         kNotConnected, 0},
        {"Misc_GetEMail_Notification",
         [](SimContext& s) { return s.Call(vyxquery::Misc_GetEMail_Notification, nullptr); },
         kNotConnected, 0},
        {"VyxQuery_Disconnect", [](SimContext& s) { return s.Call(vyxquery::VyxQuery_Disconnect); },
         kNotConnected, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto sim = Context();
        EXPECT_EQ(c.call(*sim), c.unconnected);
        ASSERT_EQ(sim->Call(vyxquery::VyxQuery_Connect, nullptr, nullptr), 0);
        EXPECT_EQ(c.call(*sim), c.sessionless);
    }
    EXPECT_TRUE(a.untouched() && b.untouched());
}

TEST_F(Sim, SessionsOpenOnceAndEndWithTheConnection) {
    auto sim = Open();
    EXPECT_EQ(sim->Call(vyxquery::Color_OpenSession, "", "", "", "", "", ""), kSessionOpen);
    EXPECT_EQ(sim->Call(vyxquery::Attribute_OpenSession, "", ""), kSessionOpen);
    ASSERT_EQ(sim->Call(vyxquery::VyxQuery_Disconnect), 0);
    ASSERT_EQ(sim->Call(vyxquery::VyxQuery_Connect, "printer", nullptr), 0);
    EXPECT_EQ(sim->Call(vyxquery::Color_SetNextKey), kNoSession);
    LONG count = 0;
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetNumTrays, &count), kNoSession);
}

TEST_F(Sim, TheKeyWalkEndsOnceAndStartsAgain) {
    auto sim = Open();
    Out first, second;
    EXPECT_EQ(sim->Call(vyxquery::Color_GetCurrentKey, first.bytes, second.bytes), kNoCurrentKey);
    std::string walked;
    for (int step = 0; step < 5; ++step) {
        const LONG result = sim->Call(vyxquery::Color_SetNextKey);
        if (result != 0) {
            EXPECT_EQ(result, kNoMore);
            walked += "|";
            continue;
        }
        ASSERT_EQ(sim->Call(vyxquery::Color_GetCurrentKey, first.bytes, second.bytes), 0);
        walked += first.text() + "=" + second.text() + " ";
    }
    EXPECT_EQ(walked, "A=Alpha B=Beta |A=Alpha B=Beta ");
}

TEST_F(Sim, MakingAKeyCurrentLeavesTheWalkWhereItWas) {
    auto sim = Open();
    Out first, second;
    ASSERT_EQ(sim->Call(vyxquery::Color_SetNextKey), 0);  // on A
    ASSERT_EQ(sim->Call(vyxquery::Color_SetCurrentKey, "B"), 0);
    ASSERT_EQ(sim->Call(vyxquery::Color_GetCurrentKey, first.bytes, second.bytes), 0);
    EXPECT_EQ(first.text(), "B");
    ASSERT_EQ(sim->Call(vyxquery::Color_GetNextOption, first.bytes, second.bytes), 0);
    EXPECT_EQ(first.text() + "/" + second.text(), "b1/uno");
    EXPECT_EQ(sim->Call(vyxquery::Color_GetNextOption, first.bytes, second.bytes), kNoMore);
    EXPECT_EQ(sim->Call(vyxquery::Color_GetNextOption, first.bytes, second.bytes), kNoMore);
    ASSERT_EQ(sim->Call(vyxquery::Color_SetNextKey), 0);
    ASSERT_EQ(sim->Call(vyxquery::Color_GetCurrentKey, first.bytes, second.bytes), 0);
    EXPECT_EQ(first.text(), "B");
    EXPECT_EQ(sim->Call(vyxquery::Color_SetNextKey), kNoMore);
    EXPECT_EQ(sim->Call(vyxquery::Color_SetCurrentKey, "C"), kUnknownFeature);
    EXPECT_EQ(sim->Call(vyxquery::Color_SetCurrentKey, nullptr), kNullArgument);
}

TEST_F(Sim, ASelectionHoldsForTheContextAndRefusesWhatTheFeatureLacks) {
    auto sim = Open();
    auto other = Open();
    Out value, label;
    auto selected = [&](SimContext& s) {
        EXPECT_EQ(s.Call(vyxquery::Color_GetSelectedOption, "A", value.bytes, label.bytes), 0);
        return value.text() + "/" + label.text();
    };
    EXPECT_EQ(selected(*sim), "a2/two");
    EXPECT_EQ(sim->Call(vyxquery::Color_SetKeyValue, "A", "a1"), 0);
    EXPECT_EQ(selected(*sim), "a1/one");
    EXPECT_EQ(sim->Call(vyxquery::Color_SetKeyValue, "A", "b1"), kUnknownOption);
    EXPECT_EQ(sim->Call(vyxquery::Color_SetKeyValue, "A", "A1"), kUnknownOption);
    EXPECT_EQ(sim->Call(vyxquery::Color_SetKeyValue, "Z", "a1"), kUnknownFeature);
    EXPECT_EQ(sim->Call(vyxquery::Color_SetKeyValue, "A", nullptr), kNullArgument);
    EXPECT_EQ(selected(*sim), "a1/one");
    // A new session and a new connection keep it; another context never saw it.
    ASSERT_EQ(sim->Call(vyxquery::VyxQuery_Disconnect), 0);
    sim->OpenEverything();
    EXPECT_EQ(selected(*sim), "a1/one");
    EXPECT_EQ(selected(*other), "a2/two");
}

TEST_F(Sim, TraysAndTonersAnswerByIndexFromOne) {
    auto sim = Open();
    Out t1, t2, t3, t4;
    LONG count = 0, v1 = 0, v2 = 0;
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetNumTrays, &count), 0);
    EXPECT_EQ(count, 1);
    for (LONG index : {0L, 2L, -1L}) {
        SCOPED_TRACE(index);
        EXPECT_EQ(sim->Call(vyxquery::Attribute_GetIndexedTrays, &index, t1.bytes, &v1, &v2,
                            t2.bytes, t3.bytes, t4.bytes),
                  kBadIndex);
    }
    EXPECT_TRUE(t1.untouched());
    LONG index = 1;
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetIndexedTrays, &index, t1.bytes, &v1, &v2, t2.bytes,
                        t3.bytes, t4.bytes),
              0);
    EXPECT_EQ(t1.text() + t2.text() + t3.text() + t4.text(), "T1twothreefour");
    EXPECT_EQ(v1, 5);
    EXPECT_EQ(v2, 500);
    EXPECT_EQ(index, 1);
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetIndexedColors, &index, t1.bytes, &v1, &v2), 0);
    EXPECT_EQ(t1.text(), "Cyan");
    EXPECT_EQ(v1, -1);
    EXPECT_EQ(v2, 65536);
}

TEST_F(Sim, InstallablesAnswerTheirTextsAndWhetherTheyAreFitted) {
    auto sim = Open();
    Out a, b;
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetDuplex, a.bytes, b.bytes), 0);
    EXPECT_EQ(a.text() + "/" + b.text(), "On/Duplex unit");
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetFax, a.bytes, b.bytes), kNotInstalled);
    EXPECT_EQ(a.text() + "/" + b.text(), "Off/Fax board");
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetSorter, a.bytes, b.bytes), kNotInstalled);
    EXPECT_EQ(a.text() + "/" + b.text(), "/");
}

TEST_F(Sim, TemplatesAnswerNamesByIndexFromZeroAndItemsByTag) {
    auto sim = Open();
    LONG count = 0, tag = 0;
    ASSERT_EQ(sim->Call(vyxquery::JobTPlate_QueryTemplateNames, &count), 0);
    EXPECT_EQ(count, 2);
    Out name;
    LONG index = 1;
    ASSERT_EQ(sim->Call(vyxquery::JobTPlate_GetTemplateNames, &index, name.bytes, &tag), 0);
    EXPECT_EQ(name.text(), "Raw");
    EXPECT_EQ(tag, 8);
    index = 2;
    EXPECT_EQ(sim->Call(vyxquery::JobTPlate_GetTemplateNames, &index, name.bytes, &tag), kBadIndex);

    std::string text(32768, '\x55');
    TemplateRecord record{};
    LONG lines = 0;
    record.tag = 7;
    ASSERT_EQ(sim->Call(vyxquery::JobTPlate_GetTemplateItems, &record, text.data(), &lines), 0);
    EXPECT_EQ(std::string(text.c_str()), "k\tv\nCopies\t2\n");
    EXPECT_EQ(lines, 2);
    record.tag = 8;
    ASSERT_EQ(sim->Call(vyxquery::JobTPlate_GetTemplateItems, &record, text.data(), &lines), 0);
    EXPECT_EQ(std::string(text.c_str()), "x\nk\tv");
    record.tag = 9;
    EXPECT_EQ(sim->Call(vyxquery::JobTPlate_GetTemplateItems, &record, text.data(), &lines),
              kUnknownTemplate);
}

TEST_F(Sim, EMailNotificationCoversTheConfiguredEvents) {
    struct Case {
        const char* email;
        std::uintptr_t value;
        LONG expected;
    };
    constexpr std::uintptr_t kAbove32Bits = sizeof(void*) == 8 ? ~std::uintptr_t{0} << 32 : 0;
    const Case cases[] = {
        {R"({"enabled": true, "events": 5})", 0, 0},
        {R"({"enabled": true, "events": 5})", 4, 0},
        {R"({"enabled": true, "events": 5})", 5, 0},
        {R"({"enabled": true, "events": 5})", 2, kEMailOff},
        {R"({"enabled": false, "events": 5})", 0, kEMailOff},
        {R"({"enabled": true, "events": 4294967295})", 0xFFFFFFFFu, 0},
        // x64: the value's upper half asks for events too, which none covers.
        {R"({"enabled": true, "events": 4294967295})", kAbove32Bits | 1,
         kAbove32Bits ? kEMailOff : 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.email) + " value " + std::to_string(c.value));
        auto sim = Open((std::string(R"({"email": )") + c.email + "}").c_str());
        EXPECT_EQ(sim->Call(vyxquery::Misc_GetEMail_Notification, reinterpret_cast<void*>(c.value)),
                  c.expected);
    }
}

TEST_F(Sim, AFailSwitchAnswersItsCodeAndWritesNothing) {
    auto sim = Open(R"({"extends": "default",
                        "faults": {"fail": {"Color_GetCurrentKey": 77,
                                            "Attribute_GetDuplex": 2147483651}}})");
    Out a, b;
    ASSERT_EQ(sim->Call(vyxquery::Color_SetNextKey), 0);
    EXPECT_EQ(sim->Call(vyxquery::Color_GetCurrentKey, a.bytes, b.bytes), 77);
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetDuplex, a.bytes, b.bytes), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(a.untouched() && b.untouched());
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetSorter, a.bytes, b.bytes), 0);
}

TEST_F(Sim, AFailingInitializeLeavesTheSlotEmpty) {
    auto sim = Context(R"({"faults": {"fail": {"VyxQuery_Initialize": 9}}})");
    EXPECT_EQ(sim->initialized(), 9);
    EXPECT_EQ(sim->Call(vyxquery::VyxQuery_Connect, nullptr, nullptr), kNoContext);
}

TEST_F(Sim, UnterminatedAnswersFillEveryByteOfTheNamedEntryPoints) {
    auto sim = Open(R"({"trays": [{"text1": "T1", "text2": "x"}],
                        "installables": {"duplex": {"text1": "On", "text2": "Duplex"}},
                        "faults": {"unterminated": ["Attribute_GetIndexedTrays"]}})");
    char text1[33], text2[33], text3[33], text4[33];
    for (char* buffer : {text1, text2, text3, text4}) {
        std::memset(buffer, 0, 33);
    }
    LONG index = 1, v1 = 0, v2 = 0;
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetIndexedTrays, &index, text1, &v1, &v2, text2, text3,
                        text4),
              0);
    EXPECT_EQ(std::string(text1, 33), "T1" + std::string(30, '#') + '\0');
    EXPECT_EQ(std::string(text3, 33), std::string(32, '#') + '\0');
    Out a, b;
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetDuplex, a.bytes, b.bytes), kNotInstalled);
    EXPECT_EQ(a.text(), "On");
}

TEST_F(Sim, OverstatedCountsPromiseEntriesThatAreNotThere) {
    auto sim = Open(R"({"extends": "default",
                        "faults": {"extraCount": {"trays": 2, "toners": -9, "templates": 1}}})");
    LONG trays = 0, toners = 0, templates = 0;
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetNumTrays, &trays), 0);
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetNumColors, &toners), 0);
    ASSERT_EQ(sim->Call(vyxquery::JobTPlate_QueryTemplateNames, &templates), 0);
    EXPECT_EQ(trays, 6);
    EXPECT_EQ(toners, -5);
    EXPECT_EQ(templates, 6);
    Out t;
    LONG index = 5, value = 0;
    EXPECT_EQ(sim->Call(vyxquery::Attribute_GetIndexedTrays, &index, t.bytes, &value, &value,
                        t.bytes, t.bytes, t.bytes),
              kBadIndex);
}

// Thirty wide characters are 60 bytes in a double-byte code page: the answer keeps whole
// characters only, so the library never meets a lead byte without its trail byte.
TEST_F(Sim, ALongAnswerIsCutAtACharacterBoundary) {
    auto sim = Open(
        R"({"toners": [{"text1": "ああああああああああああああああああああああああああああああ"}]})");
    char text[32];
    std::memset(text, 0x55, sizeof text);
    LONG index = 1, v = 0;
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetIndexedColors, &index, text, &v, &v), 0);
    const std::string answer(text, strnlen(text, sizeof text));
    const std::string whole = vyxtest::ToAnsi(std::wstring(30, L'\x3042'));
    ASSERT_LT(answer.size(), sizeof text);
    EXPECT_EQ(whole.compare(0, answer.size(), answer), 0);
    EXPECT_EQ(answer.size(), 30u);  // 30 of "?" in code page 1252, 15 whole characters in 932
    EXPECT_NE(MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, answer.c_str(), -1, nullptr, 0), 0);
}

TEST_F(Sim, ARefusedDescriptionFailsInitializeAndSaysWhere) {
    struct Case {
        const char* json;
        const char* where;  // must appear in the message
    };
    const Case cases[] = {
        {R"({"trays": [)", "parse error"},
        {R"([])", "JSON object"},
        {R"({"tray": []})", "tray: unknown member"},
        {R"({"trays": [{"text1": "a"}, {"value1": "5"}]})", "trays[1].value1: expected a whole"},
        {R"({"toners": [{"value2": 4294967296}]})", "toners[0].value2: does not fit"},
        {R"({"features": [{"key": "A", "options": [{"value": "a"}], "selected": "b"}]})",
         "features[0].selected"},
        {R"({"templates": [{"tag": 1}, {"tag": 1}]})", "templates[1].tag"},
        {R"({"templates": [{"items": [["k"]]}]})", "templates[0].items[0]: expected [key, value]"},
        {R"({"faults": {"fail": {"Color_Nothing": 1}}})", "faults.fail.Color_Nothing"},
        {R"({"faults": {"unterminated": ["Nope"]}})", "faults.unterminated[0]"},
        {R"({"extends": "laser"})", "extends"},
        {R"({"installables": {"duplex": {"present": true}}})", "installables.duplex.present"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        vyxtest::DebugTraceCapture trace;
        auto sim = Context(c.json);
        EXPECT_EQ(sim->initialized(), kBadDescription);
        ASSERT_EQ(trace.Lines().size(), 1u);
        EXPECT_NE(trace.Lines()[0].find(L".json: "), std::wstring::npos);
        const std::wstring where(c.where, c.where + std::strlen(c.where));
        EXPECT_NE(trace.Lines()[0].find(where), std::wstring::npos) << trace.Lines()[0].c_str();
    }
}

TEST_F(Sim, ExtendingTheDefaultReplacesWholeSections) {
    auto sim = Open(R"({"extends": "default", "trays": []})");
    LONG trays = -1, toners = 0;
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetNumTrays, &trays), 0);
    ASSERT_EQ(sim->Call(vyxquery::Attribute_GetNumColors, &toners), 0);
    EXPECT_EQ(trays, 0);
    EXPECT_EQ(toners, 4);
}

TEST(SimLifecycle, ANullSlotIsRefusedAndTerminateEmptiesIt) {
    const HMODULE module = LoadLibraryW(BesideProgram(L"VYXBIDI.SNM").c_str());
    ASSERT_NE(module, nullptr);
    auto initialize = reinterpret_cast<PFN_VyxQuery_Initialize>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "VyxQuery_Initialize")));
    auto terminate = reinterpret_cast<PFN_VyxQuery_Terminate>(
        reinterpret_cast<void (*)()>(GetProcAddress(module, "VyxQuery_Terminate")));
    EXPECT_EQ(initialize(nullptr, ""), kNullArgument);
    VyxQueryContext context = nullptr;
    ASSERT_EQ(initialize(&context, nullptr), 0);
    EXPECT_NE(context, nullptr);
    EXPECT_EQ(terminate(&context), 0);
    EXPECT_EQ(context, nullptr);
    EXPECT_EQ(terminate(&context), kNoContext);
    FreeLibrary(module);
}

}  // namespace
