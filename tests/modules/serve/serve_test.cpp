// The shared server over a source of numbered snapshots: which snapshot each family answers
// from, the selections it keeps for a printer that cannot be set, and the source's codes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim_support.h"
#include "serve_codes.h"

namespace {

using simtest::BesideProgram;
using simtest::SimContext;
using namespace vyxserve;

struct Text {
    char bytes[256] = {};
    std::string str() const { return std::string(bytes, strnlen(bytes, sizeof bytes)); }
};

class Served : public ::testing::Test {
  protected:
    SimContext module_{"", BesideProgram(L"serve\\VYXBIDI.SNM")};

    LONG Connect(const char* first = "", const char* second = "") {
        return module_.Call(vyxquery::VyxQuery_Connect, first, second);
    }
    // The first tray's name and third text: the snapshot and what it was taken for.
    std::string Tray() {
        LONG index = 1, v1 = 0, v2 = 0;
        Text t1, t2, t3, t4;
        EXPECT_EQ(module_.Call(vyxquery::Attribute_GetIndexedTrays, &index, t1.bytes, &v1, &v2,
                               t2.bytes, t3.bytes, t4.bytes),
                  0);
        return t1.str() + " " + t3.str();
    }
    std::string FeatureName() {
        Text key, name;
        EXPECT_EQ(module_.Call(vyxquery::Color_SetCurrentKey, "Mode"), 0);
        EXPECT_EQ(module_.Call(vyxquery::Color_GetCurrentKey, key.bytes, name.bytes), 0);
        return name.str();
    }
    std::string Selected() {
        Text value, label;
        EXPECT_EQ(module_.Call(vyxquery::Color_GetSelectedOption, "Mode", value.bytes,
                               label.bytes),
                  0);
        return value.str();
    }
    std::string TemplateName() {
        LONG index = 0, tag = 0;
        Text name;
        EXPECT_EQ(module_.Call(vyxquery::JobTPlate_GetTemplateNames, &index, name.bytes, &tag), 0);
        return name.str();
    }
    LONG Reopen() {
        module_.Call(vyxquery::Attribute_CloseSession);
        return module_.Call(vyxquery::Attribute_OpenSession, "", "");
    }
    LONG ReopenColour() {
        module_.Call(vyxquery::Color_CloseSession);
        return module_.Call(vyxquery::Color_OpenSession, "", "", "", "", "", "");
    }
};

TEST_F(Served, EachFamilysFirstUseAnswersFromTheConnectionAndOnlyLaterUsesAskAgain) {
    ASSERT_EQ(module_.initialized(), 0);
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(module_.Call(vyxquery::Attribute_OpenSession, "", ""), 0);
    EXPECT_EQ(Tray(), "snapshot 1 all");
    ASSERT_EQ(module_.Call(vyxquery::Color_OpenSession, "", "", "", "", "", ""), 0);
    EXPECT_EQ(FeatureName(), "snapshot 1");
    LONG count = 0;
    EXPECT_EQ(module_.Call(vyxquery::JobTPlate_QueryTemplateNames, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(TemplateName(), "snapshot 1");

    ASSERT_EQ(Reopen(), 0);
    EXPECT_EQ(Tray(), "snapshot 2 attributes");
    EXPECT_EQ(FeatureName(), "snapshot 1") << "an open session keeps its own snapshot";
    ASSERT_EQ(ReopenColour(), 0);
    EXPECT_EQ(FeatureName(), "snapshot 3");
    EXPECT_EQ(module_.Call(vyxquery::JobTPlate_QueryTemplateNames, &count), 0);
    EXPECT_EQ(TemplateName(), "snapshot 4");
    // The e-mail setting comes from the last snapshot that held it: the second (events 2).
    EXPECT_EQ(module_.Call(vyxquery::Misc_GetEMail_Notification, reinterpret_cast<void*>(2)), 0);
    EXPECT_EQ(module_.Call(vyxquery::Misc_GetEMail_Notification, reinterpret_cast<void*>(1)),
              kEMailOff);

    // A new connection serves each family once more from its own snapshot.
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(Reopen(), 0);
    EXPECT_EQ(Tray(), "snapshot 5 all");
    EXPECT_EQ(module_.Call(vyxquery::JobTPlate_QueryTemplateNames, &count), 0);
    EXPECT_EQ(TemplateName(), "snapshot 5");
}

TEST_F(Served, ASelectionThePrinterCannotTakeIsKeptForTheContextsLife) {
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(module_.Call(vyxquery::Color_OpenSession, "", "", "", "", "", ""), 0);
    EXPECT_EQ(Selected(), "keep1");
    EXPECT_EQ(module_.Call(vyxquery::Color_SetKeyValue, "Mode", "keep2"), 0);
    EXPECT_EQ(Selected(), "keep2");
    ASSERT_EQ(ReopenColour(), 0);
    EXPECT_EQ(Selected(), "keep2") << "laid over a fresh snapshot";
    ASSERT_EQ(module_.Call(vyxquery::VyxQuery_Disconnect), 0);
    ASSERT_EQ(Connect(), 0);
    ASSERT_EQ(module_.Call(vyxquery::Color_OpenSession, "", "", "", "", "", ""), 0);
    EXPECT_EQ(Selected(), "keep2") << "and over a new connection's";

    // Once the printer takes a selection, its own report counts, not the one kept before.
    EXPECT_EQ(module_.Call(vyxquery::Color_SetKeyValue, "Mode", "send1"), 0);
    EXPECT_EQ(Selected(), "send1");
    ASSERT_EQ(ReopenColour(), 0);
    EXPECT_EQ(Selected(), "send1");
    EXPECT_EQ(module_.Call(vyxquery::Color_SetKeyValue, "Mode", "other"), kUnknownOption);
}

TEST_F(Served, TheSourcesCodesComeBackAndAFailedOpenLeavesNoSession) {
    EXPECT_EQ(Connect("refuse"), 0x2190);
    EXPECT_EQ(module_.Call(vyxquery::Attribute_OpenSession, "", ""), kNotConnected);

    ASSERT_EQ(Connect("", "fail-later"), 0);
    ASSERT_EQ(module_.Call(vyxquery::Attribute_OpenSession, "", ""), 0);
    EXPECT_EQ(Reopen(), 0x2191);
    LONG count = 0;
    EXPECT_EQ(module_.Call(vyxquery::Attribute_GetNumTrays, &count), kNoSession);
    EXPECT_EQ(module_.Call(vyxquery::JobTPlate_QueryTemplateNames, &count), 0);
    EXPECT_EQ(count, 1);
    count = 0;
    EXPECT_EQ(module_.Call(vyxquery::JobTPlate_QueryTemplateNames, &count), 0x2191);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(TemplateName(), "snapshot 1") << "the last good snapshot still answers";
}

}  // namespace
