// bidiprobe run as a separate process against the simulated printer: the report's content, a
// selection within one run, and the messages and exit status of failing modules.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "sim_support.h"

namespace vyxsim {
const char* DefaultPrinterJson();
}

namespace {

using Json = nlohmann::json;
using simtest::BesideProgram;
using simtest::ProbeRun;
using simtest::RunProbe;
using simtest::TempFolder;
using simtest::ThroughCodePage;

const Json& DefaultPrinter() {
    static const Json printer = Json::parse(vyxsim::DefaultPrinterJson());
    return printer;
}

// One dump of the default printer serves every test that reads it.
const ProbeRun& Dump() {
    static const ProbeRun run = RunProbe(L"dump --json");
    return run;
}

const Json& DumpJson() {
    static const Json report = Json::parse(Dump().out);
    return report;
}

bool DllHas(const char* exportName) {
    const HMODULE dll = LoadLibraryW(BesideProgram(L"VYXBIDI.dll").c_str());
    const bool found = dll && GetProcAddress(dll, exportName);
    if (dll) {
        FreeLibrary(dll);
    }
    return found;
}

// A module text as the probe reports it: through the ANSI code page and back.
std::string Seen(const Json& text) {
    return ThroughCodePage(text.get<std::string>());
}

std::string LastLine(const std::string& text) {
    const std::size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos) {
        return "";
    }
    const std::size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start + 1));
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

#define SKIP_IF_UNAVAILABLE(section)                                                    \
    if ((section).contains("unavailable")) {                                            \
        GTEST_SKIP() << "not in this VYXBIDI.dll: " << (section)["unavailable"].dump(); \
    }

void CollectResults(const Json& node, std::vector<std::string>& results) {
    if (node.is_object()) {
        if (node.contains("export") && node.contains("code")) {
            results.push_back(node["export"].get<std::string>() + " " +
                              node["result"].get<std::string>());
        }
        for (const auto& member : node.items()) {
            CollectResults(member.value(), results);
        }
    } else if (node.is_array()) {
        for (const Json& item : node) {
            CollectResults(item, results);
        }
    }
}

TEST(ProbeDump, RunsTheCallersOrderWithEveryCallAnsweringOk) {
    ASSERT_EQ(GetFileAttributesW(BesideProgram(L"VYXBIDI.json").c_str()), INVALID_FILE_ATTRIBUTES)
        << "a VYXBIDI.json beside the tests replaces the built-in printer; remove it";
    ASSERT_EQ(Dump().exitCode, 0u) << Dump().err;
    EXPECT_EQ(Dump().err, "");
    const Json& report = DumpJson();
    EXPECT_TRUE(report["failure"].is_null());
    EXPECT_EQ(report["open"][0]["export"], "VyxBiDi_Initialize");
    EXPECT_EQ(report["open"][1]["export"], "VyxBiDi_Connect");
    EXPECT_EQ(report["close"][0]["export"], "VyxBiDi_Disconnect");
    EXPECT_EQ(report["close"][1]["export"], "VyxBiDi_Terminate");
    std::vector<std::string> results;
    CollectResults(report, results);
    for (const std::string& result : results) {
        EXPECT_EQ(result.substr(result.find(' ') + 1), "BIDI_OK") << result;
    }
    EXPECT_GE(results.size(), 4u);
}

TEST(ProbeDump, ReportsEveryColourFeatureWithItsOptionsAndSelection) {
    const Json& colour = DumpJson()["colour"];
    SKIP_IF_UNAVAILABLE(colour);
    const Json& expected = DefaultPrinter()["features"];
    ASSERT_EQ(colour["features"].size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i]["key"].get<std::string>());
        const Json& feature = colour["features"][i];
        EXPECT_EQ(feature["first"], Seen(expected[i]["key"]));
        EXPECT_EQ(feature["second"], Seen(expected[i]["name"]));
        const Json& details = feature["details"];
        EXPECT_EQ(details["currentKey"]["first"], feature["first"]);
        EXPECT_EQ(details["currentKey"]["second"], feature["second"]);
        ASSERT_EQ(details["options"].size(), expected[i]["options"].size());
        for (std::size_t k = 0; k < details["options"].size(); ++k) {
            const Json& option = expected[i]["options"][k];
            EXPECT_EQ(details["options"][k]["first"], Seen(option["value"]));
            EXPECT_EQ(details["options"][k]["second"], Seen(option["label"]));
            if (option["value"] == expected[i]["selected"]) {
                EXPECT_EQ(details["selected"], details["options"][k]);
            }
        }
    }
}

TEST(ProbeDump, ReportsTraysAndTonersRecordForRecord) {
    const Json& attributes = DumpJson()["attributes"];
    SKIP_IF_UNAVAILABLE(attributes);
    for (const char* part : {"trays", "toners"}) {
        SCOPED_TRACE(part);
        const Json& expected = DefaultPrinter()[part];
        const Json& reported = attributes[part];
        EXPECT_EQ(reported["count"], expected.size());
        ASSERT_EQ(reported["records"].size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            for (const auto& field : expected[i].items()) {
                const Json& value = reported["records"][i][field.key()];
                if (field.value().is_string()) {
                    EXPECT_EQ(value, Seen(field.value())) << field.key();
                } else {
                    EXPECT_EQ(value, field.value()) << field.key();
                }
            }
        }
    }
}

TEST(ProbeDump, ReportsTheInstallablesWithTheirPresenceMask) {
    const Json& attributes = DumpJson()["attributes"];
    SKIP_IF_UNAVAILABLE(attributes);
    const Json& installables = attributes["installables"];
    const Json& expected = DefaultPrinter()["installables"];
    EXPECT_EQ(installables["presence"], 0x0F7);
    ASSERT_EQ(installables["options"].size(), 9u);
    for (const Json& option : installables["options"]) {
        const Json& want = expected[option["name"].get<std::string>()];
        SCOPED_TRACE(option["name"].get<std::string>());
        EXPECT_EQ(option["present"], want["installed"]);
        EXPECT_EQ(option["text1"], Seen(want["text1"]));
        EXPECT_EQ(option["text2"], Seen(want["text2"]));
    }
}

TEST(ProbeDump, ReportsTheEMailAnswerAndEveryTemplateWithItsItems) {
    const Json& email = DumpJson()["email"];
    if (!email.contains("unavailable")) {
        EXPECT_EQ(email["value"], 0);
        EXPECT_EQ(email["calls"][0]["result"], "BIDI_OK");
    }
    const Json& templates = DumpJson()["templates"];
    SKIP_IF_UNAVAILABLE(templates);
    const Json& expected = DefaultPrinter()["templates"];
    ASSERT_EQ(templates["templates"].size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Json& reported = templates["templates"][i];
        SCOPED_TRACE(i);
        EXPECT_EQ(reported["name"], Seen(expected[i]["name"]));
        EXPECT_EQ(reported["tag"], expected[i]["tag"]);
        ASSERT_EQ(reported["items"].size(), expected[i]["items"].size());
        for (std::size_t k = 0; k < reported["items"].size(); ++k) {
            EXPECT_EQ(reported["items"][k]["key"], Seen(expected[i]["items"][k][0]));
            EXPECT_EQ(reported["items"][k]["value"], Seen(expected[i]["items"][k][1]));
        }
    }
}

TEST(ProbeDump, TheReadableReportNamesEveryResult) {
    const ProbeRun run = RunProbe(L"dump");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_NE(run.out.find("VyxBiDi_Initialize                  BIDI_OK\n"), std::string::npos);
    EXPECT_NE(run.out.find("VyxBiDi_Terminate                   BIDI_OK\n"), std::string::npos);
    EXPECT_EQ(LastLine(run.out), "Every call answered BIDI_OK.");
}

TEST(ProbeSelect, TheFeatureReadAfterASelectionShowsIt) {
    if (!DllHas("ClrBiDi_SelectOption")) {
        GTEST_SKIP() << "ClrBiDi_SelectOption is not in this VYXBIDI.dll";
    }
    const ProbeRun run = RunProbe(L"select ColorMode Mono --json");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const Json select = Json::parse(run.out)["colour"]["select"];
    EXPECT_EQ(select["before"]["selected"]["first"], "Color");
    EXPECT_EQ(select["calls"][0]["result"], "BIDI_OK");
    EXPECT_EQ(select["after"]["selected"]["first"], "Mono");
    EXPECT_EQ(select["after"]["selected"]["second"], "Black and white");
    // The selection lives in this run's query context only.
    const ProbeRun again = RunProbe(L"feature ColorMode --json");
    ASSERT_EQ(again.exitCode, 0u) << again.err;
    EXPECT_EQ(Json::parse(again.out)["colour"]["feature"]["selected"]["first"], "Color");
}

TEST(ProbeSelect, AnOptionTheFeatureLacksIsRefusedAndChangesNothing) {
    if (!DllHas("ClrBiDi_SelectOption")) {
        GTEST_SKIP() << "ClrBiDi_SelectOption is not in this VYXBIDI.dll";
    }
    const ProbeRun run = RunProbe(L"select ColorMode Sepia --json");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(run.err,
              "bidiprobe: ClrBiDi_SelectOption returned 8197 (0x00002005): the feature has no "
              "option of that value; `bidiprobe feature NAME` lists its options\n");
    const Json select = Json::parse(run.out)["colour"]["select"];
    EXPECT_EQ(select["after"]["selected"]["first"], "Color");
}

// A printer that lacks something is no failure: the report says what it lacks, the exit status
// stays 0. Any other failure of the same calls still fails.
TEST(ProbeLacks, WhatThePrinterLacksIsReportedAndFailsNothing) {
    const struct {
        const char* description;
        const char* needs;  // the export whose answer is judged
        const char* lacks;  // null: a failure
    } cases[] = {
        {R"({"extends": "default", "email": {"enabled": false}})", "Misc_GetEMailNotification",
         "e-mail notification off for this value"},
        {R"({"extends": "default", "faults": {"fail": {"Misc_GetEMail_Notification": 8714}}})",
         "Misc_GetEMailNotification", "not reported by this printer"},
        {R"({"extends": "default", "installables": {}})", "Attrib_GetInstallableOptions",
         "nothing fitted"},
        {R"({"extends": "default", "faults": {"fail": {"Misc_GetEMail_Notification": 8193}}})",
         "Misc_GetEMailNotification", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.description);
        if (!DllHas(c.needs)) {
            continue;
        }
        TempFolder folder;
        folder.Copy(BesideProgram(L"VYXBIDI.SNM"), L"printer.SNM");
        folder.Write(L"printer.json", c.description);
        const std::wstring caller = L" --caller \"" + folder.Path() + L"printer.dll\"";
        const ProbeRun run = RunProbe(L"dump --json" + caller);
        const Json report = Json::parse(run.out);
        const Json& call = std::string(c.needs) == "Misc_GetEMailNotification"
                               ? report["email"]["calls"][0]
                               : report["attributes"]["installables"]["calls"][0];
        EXPECT_EQ(call["export"], c.needs);
        EXPECT_NE(call["result"], "BIDI_OK");
        if (c.lacks) {
            EXPECT_EQ(run.exitCode, 0u) << run.err;
            EXPECT_EQ(run.err, "");
            EXPECT_EQ(call["lacks"], c.lacks);
            EXPECT_EQ(report["lacking"], Json::array({{{"export", c.needs}, {"lacks", c.lacks}}}));
            const ProbeRun text = RunProbe(L"dump" + caller);
            EXPECT_EQ(text.exitCode, 0u);
            EXPECT_NE(text.out.find(std::string(": ") + c.lacks + "\n"), std::string::npos);
            EXPECT_EQ(LastLine(text.out),
                      "No call failed; the printer lacks what is marked above.");
        } else {
            EXPECT_EQ(run.exitCode, 1u);
            EXPECT_FALSE(call.contains("lacks"));
            EXPECT_TRUE(report["lacking"].empty());
        }
    }
}

struct FailureCase {
    const char* description;
    const wchar_t* command;
    const char* needs;    // the export the command needs
    const char* message;  // the last line on standard error, up to what the result means
};

TEST(ProbeFailures, AFailingModuleGivesTheMessageAndExitStatus) {
    const FailureCase cases[] = {
        {R"({"extends": "default", "faults": {"fail": {"Attribute_GetNumTrays": 77}}})", L"trays",
         "Attrib_GetPaperConsumables",
         "bidiprobe: Attrib_GetPaperConsumables returned 77 (0x0000004D)"},
        {R"({"extends": "default", "faults": {"fail": {"Color_SetCurrentKey": -2}}})",
         L"feature ColorMode", "ClrBiDi_GetFeatureInfo",
         "bidiprobe: ClrBiDi_GetFeatureInfo returned -2 (0xFFFFFFFE)"},
        {R"({"extends": "default", "faults": {"extraCount": {"trays": 1}}})", L"dump",
         "Attrib_GetPaperConsumables",
         "bidiprobe: Attrib_GetPaperConsumables returned 8198 (0x00002006)"},
        {R"({"extends": "default", "faults": {"fail": {"Attribute_OpenSession": 3}}})", L"toners",
         "Attrib_OpenSession", "bidiprobe: Attrib_OpenSession returned 3 (0x00000003)"},
        {R"({"extends": "default", "faults": {"fail": {"VyxQuery_Connect": 8193}}})", L"dump",
         "VyxBiDi_Connect", "bidiprobe: VyxBiDi_Connect returned 8193 (0x00002001)"},
        {R"({"faults": {"fail": {"VyxQuery_Initialize": 5}}})", L"dump", "VyxBiDi_Initialize",
         "bidiprobe: VyxBiDi_Initialize returned BIDI_ERR_FAILED"},
        {R"({"trays": [)", L"trays", "VyxBiDi_Initialize",
         "bidiprobe: VyxBiDi_Initialize returned BIDI_ERR_FAILED"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.description);
        if (!DllHas(c.needs)) {
            continue;  // that family is not in this VYXBIDI.dll
        }
        TempFolder folder;
        folder.Copy(BesideProgram(L"VYXBIDI.SNM"), L"printer.SNM");
        folder.Write(L"printer.json", c.description);
        const ProbeRun run =
            RunProbe(std::wstring(c.command) + L" --caller \"" + folder.Path() + L"printer.dll\"");
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_TRUE(StartsWith(LastLine(run.err), std::string(c.message) + ": ")) << run.err;
    }
}

// A failing call's code is said in words wherever it shows: in JSON on the call and the
// failure, on its line and the last line of the text report, on standard error. A code on a
// base names the added number; a code no table holds is said to be none of this project's.
TEST(ProbeFailures, EveryFailingCodeIsSaidInWords) {
    const struct {
        LONG code;
        const char* meaning;  // how the meaning begins
    } cases[] = {
        {0x210F,
         "the certificate changed since it was pinned; compare the fingerprint "
         "`bidiprobe trust show URI` names with the printer's own, then `bidiprobe "
         "trust forget URI`"},
        {0x30194, "HTTP status 404: the printer answered HTTP with another status than 200; "},
        {0x40406, "IPP status 0x0406: the printer answered with an IPP error status; "},
        {0x2300, "not a code of this library or of this project's query modules; "},
    };
    bool first = true;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        TempFolder folder;
        folder.Copy(BesideProgram(L"VYXBIDI.SNM"), L"printer.SNM");
        folder.Write(L"printer.json",
                     R"({"extends": "default", "faults": {"fail": {"VyxQuery_Connect": )" +
                         std::to_string(c.code) + "}}}");
        const std::wstring caller = L" --caller \"" + folder.Path() + L"printer.dll\"";
        const ProbeRun json = RunProbe(L"trays --json" + caller);
        EXPECT_EQ(json.exitCode, 1u);
        const Json report = Json::parse(json.out);
        const std::string meaning = report["failure"]["meaning"].get<std::string>();
        EXPECT_TRUE(StartsWith(meaning, c.meaning)) << meaning;
        EXPECT_EQ(report["open"][1]["meaning"], meaning);
        EXPECT_FALSE(report["open"][0].contains("meaning"));  // BIDI_OK needs no words
        if (!std::exchange(first, false)) {
            continue;  // the text report says it alike for any code
        }
        const ProbeRun text = RunProbe(L"trays" + caller);
        char result[32];
        std::snprintf(result, sizeof result, "%ld (0x%08lX)", static_cast<long>(c.code),
                      static_cast<unsigned long>(c.code));
        const std::string failure =
            std::string("VyxBiDi_Connect returned ") + result + ": " + meaning;
        EXPECT_NE(text.out.find("\nVyxBiDi_Connect                     " + std::string(result) +
                                ": " + meaning + "\n"),
                  std::string::npos)
            << text.out;
        EXPECT_EQ(LastLine(text.out), "First failure: " + failure);
        EXPECT_EQ(text.err, "bidiprobe: " + failure + "\n");
    }
}

TEST(ProbeFailures, ARefusedDescriptionIsExplainedOnStandardError) {
    TempFolder folder;
    folder.Copy(BesideProgram(L"VYXBIDI.SNM"), L"printer.SNM");
    folder.Write(L"printer.json", R"({"trays": [{"text5": "x"}]})");
    const ProbeRun run = RunProbe(L"dump --caller \"" + folder.Path() + L"printer.dll\"");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_NE(run.err.find("printer.json: trays[0].text5: unknown member\n"), std::string::npos)
        << run.err;
}

// A caller's path the library takes no module name from: past 127 characters it tries only the
// fixed paths (here with the derived module in place), past 255 ANSI bytes it refuses the path.
TEST(ProbeFailures, ACallersPathTheLibraryDerivesNoModuleFromIsExplained) {
    TempFolder folder;
    const std::size_t room = 128 - folder.Path().size();
    ASSERT_GT(room, 8u) << "the test folder leaves no room for a 128-character path";
    const std::wstring name = std::wstring(room - 4, L'p');
    folder.Copy(BesideProgram(L"VYXBIDI.SNM"), name + L".SNM");
    const std::string shorter =
        "bidiprobe: give a shorter --caller or --dll path, e.g. through a drive letter mapped to "
        "the module's folder (make run reaches the build tree as X:)\n";
    const struct {
        std::wstring caller;
        std::string advice;
    } cases[] = {
        {folder.Path() + name + L".dll",
         "bidiprobe: the caller's path has 128 characters; from a path over 127 the library "
         "derives no module name and tries only D:\\BIDITST\\SNMQRY32.DLL and "
         "D:\\BIDITST\\VYXQUERY.DLL\n"},
        {std::wstring(256, L'p'),
         "bidiprobe: the caller's path is 256 bytes in the ANSI code page; the library refuses "
         "one over 255\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caller.size());
        const ProbeRun run = RunProbe(L"trays --caller \"" + c.caller + L"\"");
        EXPECT_EQ(run.exitCode, 1u);
        const std::size_t advice = run.err.find('\n') + 1;
        EXPECT_TRUE(StartsWith(run.err, "bidiprobe: VyxBiDi_Initialize returned BIDI_ERR_FAILED: "))
            << run.err;
        EXPECT_EQ(run.err.substr(advice), c.advice + shorter);
    }
}

// The module fills all 32 bytes of each tray text; the caller still gets 31 characters and a
// terminator in each field.
TEST(ProbeFailures, UnterminatedAnswersArriveCutToTheirFields) {
    if (!DllHas("Attrib_GetPaperConsumables")) {
        GTEST_SKIP() << "Attrib_GetPaperConsumables is not in this VYXBIDI.dll";
    }
    TempFolder folder;
    folder.Copy(BesideProgram(L"VYXBIDI.SNM"), L"printer.SNM");
    folder.Write(L"printer.json", R"({"trays": [{"text1": "Tray 1"}],
                                      "faults": {"unterminated": true}})");
    const ProbeRun run = RunProbe(L"trays --json --caller \"" + folder.Path() + L"printer.dll\"");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    const Json tray = Json::parse(run.out)["attributes"]["trays"]["records"][0];
    EXPECT_EQ(tray["text1"], "Tray 1" + std::string(25, '#'));
    EXPECT_EQ(tray["text4"], std::string(31, '#'));
}

// The value goes to the module as the export's pointer-sized argument, every bit of it: the
// simulated printer covers no event above bit 31, so on x64 such a value is not covered.
TEST(ProbeReport, TheEMailValueIsAsWideAsAPointer) {
    if (!DllHas("Misc_GetEMailNotification")) {
        GTEST_SKIP() << "Misc_GetEMailNotification is not in this VYXBIDI.dll";
    }
    const ProbeRun run = RunProbe(L"--json email 0xFFFFFFFF");
    ASSERT_EQ(run.exitCode, 0u) << run.err;
    EXPECT_EQ(Json::parse(run.out)["email"]["value"], 0xFFFFFFFFull);
#ifdef _WIN64
    const ProbeRun wide = RunProbe(L"--json email 0x100000000");
    ASSERT_EQ(wide.exitCode, 0u) << wide.err;
    const Json email = Json::parse(wide.out)["email"];
    EXPECT_EQ(email["value"], 0x100000000ull);
    EXPECT_EQ(email["calls"][0]["result"], "8203");
#endif
}

TEST(ProbeFailures, TheReducedModuleLacksFiveEntryPoints) {
    const FailureCase cases[] = {
        {"", L"--reduced feature ColorMode", "ClrBiDi_GetFeatureInfo",
         "bidiprobe: ClrBiDi_GetFeatureInfo returned BIDI_ERR_NO_ENTRY_POINT"},
        {"", L"--reduced email 1", "Misc_GetEMailNotification",
         "bidiprobe: Misc_GetEMailNotification returned BIDI_ERR_NO_ENTRY_POINT"},
        {"", L"--reduced templates --items", "JobTplate_GetAll",
         "bidiprobe: JobTplate_GetAll returned BIDI_ERR_NO_ENTRY_POINT"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.message);
        if (!DllHas(c.needs)) {
            continue;
        }
        const ProbeRun run = RunProbe(c.command);
        EXPECT_EQ(run.exitCode, 1u);
        EXPECT_TRUE(StartsWith(run.err, std::string(c.message) + ": the query module lacks"))
            << run.err;
    }
}

TEST(ProbeUsage, HelpUsageErrorsAndAMissingLibrary) {
    struct Case {
        const wchar_t* arguments;
        DWORD exitCode;
        const char* output;  // found in standard output (status 0) or standard error
    };
    const Case cases[] = {
        {L"--help", 0, "Usage: bidiprobe [OPTIONS] COMMAND [ARGUMENTS]"},
        {L"dump --help", 0, "Usage: bidiprobe [OPTIONS] dump\n"},
        {L"select --help", 0, "Usage: bidiprobe [OPTIONS] select FEATURE OPTION\n"},
        {L"--json templates --help", 0, "Usage: bidiprobe [OPTIONS] templates [--items]\n"},
        {L"", 2, "bidiprobe: no command given"},
        {L"print", 2, "bidiprobe: unknown command print"},
        {L"feature", 2, "usage: bidiprobe [OPTIONS] feature NAME"},
        {L"email twelve", 2, "VALUE must be a number"},
#ifdef _WIN64
        {L"email 0x10000000000000000", 2, "VALUE must be a number"},
#else
        {L"email 0x100000000", 2, "VALUE must be a number"},
#endif
        {L"trays --items", 2, "--items belongs to the templates command"},
        {L"dump --dll nowhere\\VYXBIDI.dll", 3, "bidiprobe: cannot load nowhere\\VYXBIDI.dll"},
        {L"dump --dll qm\\full.SNM", 1,
         "bidiprobe: VyxBiDi_Initialize: not available in this VYXBIDI.dll\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.arguments);
        const ProbeRun run = RunProbe(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        const std::string& where = c.exitCode == 0 ? run.out : run.err;
        EXPECT_NE(where.find(c.output), std::string::npos) << where;
    }
}

}  // namespace
