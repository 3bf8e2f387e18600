// The colour feature list: the key walk, the record's bytes, and its release.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "color_scripts.h"
#include "support/global_memory_watch.h"
#include "support/scripted_module.h"

namespace {

using namespace colortest;
using vyxtest::GlobalMemoryWatch;
using vyxtest::ScriptedHandle;

FeatureList* const kSentinel = reinterpret_cast<FeatureList*>(0xdeadbeef);

// The calls a walk over `keys` keys makes when reading key `failingKey` fails.
std::vector<std::string> KeyWalk(int keys, int failingKey) {
    std::vector<std::string> calls;
    for (int key = 1;; ++key) {
        calls.push_back("Color_SetNextKey");
        if (key > keys) {
            return calls;
        }
        if (key <= BIDI_MAX_FEATURES) {
            calls.push_back("Color_GetCurrentKey");
        }
        if (key == failingKey) {
            return calls;
        }
    }
}

// The exact bytes of a list of `count` scripted keys, pointing where `list` points.
std::string ListImage(const FeatureList* list, int count) {
    std::string image(layout::kFeatureListSize, '\0');
    image[0] = static_cast<char>(count);
    for (int i = 0; i < count; ++i) {
        PutPointer(image, layout::kFeatureListFeatures + layout::kPointer * i, list->features[i]);
    }
    return image;
}

void ExpectScriptedKeys(const FeatureList* list, int count) {
    EXPECT_EQ(BlockSize(list), layout::kFeatureListSize);
    EXPECT_EQ(Bytes(list, layout::kFeatureListSize), ListImage(list, count));
    for (int i = 0; i < count && !testing::Test::HasFailure(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_NE(list->features[i], nullptr);
        EXPECT_EQ(BlockSize(list->features[i]), 1024u);
        EXPECT_EQ(Bytes(list->features[i], sizeof(TextPair)),
                  PairImage(Wide(FirstText("key", i + 1)), Wide(SecondText("key", i + 1))));
    }
}

TEST(FeatureList, WalksTheKeyCursorToItsEndAndKeepsTheFirst64) {
    const struct {
        const char* label;
        const wchar_t* variant;
        int keys;
        int failingKey;
        int stored;
        std::vector<std::string> calls;
    } cases[] = {
        {"no keys", L"full", 0, 0, 0, KeyWalk(0, 0)},
        {"two keys", L"full", 2, 0, 2, KeyWalk(2, 0)},
        {"70 keys", L"full", 70, 0, 64, KeyWalk(70, 0)},
        {"third key fails", L"full", 5, 3, 2, KeyWalk(5, 3)},
        {"no SetNextKey", L"without_Color_SetNextKey", 5, 0, 0, {}},
        {"no GetCurrentKey", L"without_Color_GetCurrentKey", 5, 0, 0, {"Color_SetNextKey"}},
    };
    ASSERT_EQ(std::count(cases[2].calls.begin(), cases[2].calls.end(), "Color_SetNextKey"), 71);
    ASSERT_EQ(std::count(cases[2].calls.begin(), cases[2].calls.end(), "Color_GetCurrentKey"), 64);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ScriptedHandle h(c.variant);
        GlobalMemoryWatch memory;
        ScriptKeys(h.module(), c.keys, c.failingKey);
        FeatureList* list = kSentinel;
        ASSERT_EQ(ClrBiDi_GetFeatureList(h, &list), BIDI_OK);
        EXPECT_EQ(h.module().CallNames(), c.calls);
        for (const vyxtest::ModuleCall& call : h.module().Calls()) {
            EXPECT_EQ(call.context, &h.get()->queryContext);
            for (const vyxtest::CallArg& answer : call.args) {
                EXPECT_EQ(answer.block, std::string(256, '\0')) << "a fresh zero-filled block";
            }
        }
        ExpectScriptedKeys(list, c.stored);
        EXPECT_EQ(memory.LiveBlocks().size(), 1u + c.stored);
        EXPECT_EQ(ClrBiDi_DeleteFeatureList(h, &list), BIDI_OK);
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

TEST(FeatureList, WidensEachAnswerAloneAndBoundedByItsBlock) {
    for (const AnswerCase& c : AnswerCases()) {
        if (!AppliesHere(c)) {
            continue;
        }
        SCOPED_TRACE(c.label);
        ScriptedHandle h;
        ScriptKeys(h.module(), 2);
        // The first key has both strings; the second only its first, so its second must read
        // empty rather than repeat the first key's.
        auto reads = std::make_shared<int>(0);
        h.module().On(vyxquery::Color_GetCurrentKey, [=](VyxQueryContext*, LPSTR a, LPSTR b) {
            vyxtest::Fill(a, c.bytes);
            if (++*reads == 1) {
                vyxtest::Fill(b, c.bytes);
            }
            return LONG{0};
        });
        FeatureList* list = nullptr;
        ASSERT_EQ(ClrBiDi_GetFeatureList(h, &list), BIDI_OK);
        ASSERT_EQ(list->featureCount, 2);
        EXPECT_EQ(Bytes(list->features[0], sizeof(TextPair)), PairImage(c.expected, c.expected));
        EXPECT_EQ(Bytes(list->features[1], sizeof(TextPair)), PairImage(c.expected, L""));
        EXPECT_EQ(ClrBiDi_DeleteFeatureList(h, &list), BIDI_OK);
    }
}

TEST(FeatureList, NullArgumentsAreRefusedWithNothingDone) {
    ScriptedHandle h;
    ScriptKeys(h.module(), 3);
    GlobalMemoryWatch memory;
    FeatureList* list = kSentinel;
    EXPECT_EQ(ClrBiDi_GetFeatureList(nullptr, &list), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_GetFeatureList(h, nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(list, kSentinel);
    EXPECT_TRUE(h.module().Calls().empty());
    EXPECT_EQ(memory.Allocations(), 0);

    ASSERT_EQ(ClrBiDi_GetFeatureList(h, &list), BIDI_OK);
    FeatureList* const held = list;
    FeatureList* none = nullptr;
    EXPECT_EQ(ClrBiDi_DeleteFeatureList(nullptr, &list), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_DeleteFeatureList(h, nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(ClrBiDi_DeleteFeatureList(h, &none), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(memory.LiveBlocks().size(), 4u) << "nothing released";
    EXPECT_EQ(ClrBiDi_DeleteFeatureList(h, &list), BIDI_OK);
    EXPECT_EQ(list, held) << "the caller's pointer is left as it was";
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

TEST(FeatureList, RepeatedListingsStartOverAndLeakNothing) {
    ScriptedHandle h;
    ScriptKeys(h.module(), 70);
    GlobalMemoryWatch memory;
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        FeatureList* list = nullptr;
        ASSERT_EQ(ClrBiDi_GetFeatureList(h, &list), BIDI_OK);
        ExpectScriptedKeys(list, 64);
        EXPECT_EQ(ClrBiDi_DeleteFeatureList(h, &list), BIDI_OK);
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

TEST(FeatureList, EachFailedAllocationIsHandledAndLeaksNothing) {
    // Allocations of a walk over three keys: the list, two wide blocks, then for each key two
    // answer blocks and its pair.
    constexpr int kKeys = 3;
    constexpr int kAllocations = 3 + 3 * kKeys;
    for (int failing = 1; failing <= kAllocations + 1; ++failing) {
        SCOPED_TRACE(failing);
        ScriptedHandle h;
        ScriptKeys(h.module(), kKeys);
        GlobalMemoryWatch memory;
        memory.FailAllocation(failing);
        FeatureList* list = kSentinel;
        const LONG result = ClrBiDi_GetFeatureList(h, &list);
        if (failing == 1) {
            EXPECT_EQ(result, BIDI_ERR_FAILED);
            EXPECT_EQ(list, kSentinel);
            EXPECT_TRUE(h.module().Calls().empty());
            EXPECT_TRUE(memory.LiveBlocks().empty());
            continue;
        }
        ASSERT_TRUE(memory.IsLive(list));
        if (failing <= 3) {
            EXPECT_EQ(result, BIDI_ERR_FAILED);
            EXPECT_TRUE(h.module().Calls().empty());
            ExpectScriptedKeys(list, 0);
        } else {
            // The key whose storage failed ends the walk; the keys before it are kept.
            const int stored = std::min((failing - 4) / 3, kKeys);
            EXPECT_EQ(result, BIDI_OK);
            EXPECT_EQ(h.module().CountCalls("Color_SetNextKey"),
                      static_cast<std::size_t>(stored == kKeys ? kKeys + 1 : stored + 1));
            ExpectScriptedKeys(list, stored);
        }
        EXPECT_EQ(ClrBiDi_DeleteFeatureList(h, &list), BIDI_OK);
        EXPECT_TRUE(memory.LiveBlocks().empty());
    }
}

}  // namespace
