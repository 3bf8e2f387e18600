// The job template listings and their release, against the scripted query module.
#include <gtest/gtest.h>
#include <vyxbidi.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "support/global_memory_watch.h"
#include "support/layout.h"
#include "support/scripted_module.h"

namespace {

using vyxtest::Fill;
using vyxtest::GlobalMemoryWatch;
using vyxtest::ScriptedHandle;
namespace layout = vyxtest::layout;

using Listing = LONG(WINAPI*)(BiDiHandle*, TemplateList*);

struct Template {
    std::string name;  // bytes written into the 64-byte name block
    LONG tag;
    std::string items;  // bytes written into the 32768-byte text block
};

TemplateRecord* const kUnwrittenRecords = reinterpret_cast<TemplateRecord*>(0xdeadbeef);
constexpr LONG kUnwrittenCount = 0x55555555;

std::wstring Field(const WCHAR (&field)[64]) {
    return std::wstring(field, wcsnlen(field, 64));
}

bool AllZero(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const BYTE*>(bytes);
    return std::all_of(p, p + size, [](BYTE b) { return b == 0; });
}

class Templates : public ::testing::Test {
  protected:
    // The module reports `reported` templates and answers each index from `templates`; the item
    // text goes to the template whose name was asked for last.
    void Script(std::vector<Template> templates, LONG reported) {
        templates_ = std::move(templates);
        module().On(vyxquery::JobTPlate_QueryTemplateNames, [=](VyxQueryContext*, LONG* count) {
            *count = reported;
            return LONG{0};
        });
        module().On(vyxquery::JobTPlate_GetTemplateNames,
                    [this](VyxQueryContext*, LONG* index, LPSTR name, LONG* tag) {
                        last_ = *index;
                        if (last_ >= 0 && last_ < static_cast<LONG>(templates_.size())) {
                            Fill(name, templates_[last_].name);
                            *tag = templates_[last_].tag;
                        }
                        return LONG{0};
                    });
        module().On(vyxquery::JobTPlate_GetTemplateItems,
                    [this](VyxQueryContext*, TemplateRecord*, LPSTR text, LONG*) {
                        if (last_ >= 0 && last_ < static_cast<LONG>(templates_.size())) {
                            Fill(text, templates_[last_].items);
                        }
                        return LONG{0};
                    });
    }

    vyxtest::ScriptedModule& module() { return handle_.module(); }

    ScriptedHandle handle_;
    std::vector<Template> templates_;
    LONG last_ = -1;
    TemplateList list_{kUnwrittenRecords, kUnwrittenCount};
};

TEST_F(Templates, GetAllFetchesNamesAndItemsTemplateByTemplate) {
    Script({{"Office", 11, "Paper\tA4\nCopies\t2\n"}, {"", 22, ""}, {"Photo", -3, "Gloss\tyes\n"}},
           3);
    GlobalMemoryWatch memory;
    ASSERT_EQ(JobTplate_GetAll(handle_, &list_), BIDI_OK);
    ASSERT_EQ(list_.count, 3);
    const TemplateRecord* records = list_.templates;
    EXPECT_EQ(
        module().CallNames(),
        (std::vector<std::string>{"JobTPlate_QueryTemplateNames", "JobTPlate_GetTemplateNames",
                                  "JobTPlate_GetTemplateItems", "JobTPlate_GetTemplateNames",
                                  "JobTPlate_GetTemplateItems", "JobTPlate_GetTemplateNames",
                                  "JobTPlate_GetTemplateItems"}));
    const auto& calls = module().Calls();
    EXPECT_EQ(calls[0].args[0].number, 0);
    for (LONG i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const vyxtest::ModuleCall& names = calls[1 + 2 * i];
        const vyxtest::ModuleCall& items = calls[2 + 2 * i];
        EXPECT_EQ(names.args[0].number, i);
        EXPECT_EQ(names.args[0].raw, calls[1].args[0].raw) << "always the listing's own counter";
        EXPECT_EQ(names.args[1].blockBytes, 64u);
        EXPECT_TRUE(AllZero(names.args[1].block.data(), 64));
        EXPECT_EQ(names.args[2].number, 0);
        EXPECT_EQ(items.args[0].raw, reinterpret_cast<std::uintptr_t>(&records[i]));
        EXPECT_EQ(items.args[0].name,
                  std::wstring(templates_[i].name.begin(), templates_[i].name.end()));
        EXPECT_EQ(items.args[1].blockBytes, 32768u);
        EXPECT_TRUE(AllZero(items.args[1].block.data(), 32768));
        EXPECT_EQ(items.args[2].number, 0);
        EXPECT_TRUE(memory.IsLive(records[i].items));
    }
    EXPECT_EQ(Field(records[0].name), L"Office");
    EXPECT_EQ(records[0].tag, 11);
    ASSERT_EQ(records[0].itemCount, 2);
    EXPECT_EQ(Field(records[0].items[1].key), L"Copies");
    EXPECT_EQ(Field(records[0].items[1].value), L"2");
    EXPECT_TRUE(AllZero(&records[0].items[2], 126 * sizeof(TemplateItem)));
    EXPECT_EQ(Field(records[1].name), L"");
    EXPECT_EQ(records[1].tag, 22);
    EXPECT_EQ(records[1].itemCount, 0);
    EXPECT_TRUE(AllZero(records[1].items, 32768));
    EXPECT_EQ(records[2].tag, -3);
    EXPECT_EQ(Field(records[2].items[0].value), L"yes");
    EXPECT_TRUE(AllZero(&records[3], 61 * sizeof(TemplateRecord)));
    // Where a caller of this architecture finds each record's item block and count.
    for (LONG i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const BYTE* raw = reinterpret_cast<const BYTE*>(records) + i * layout::kTemplateRecordSize;
        const TemplateItem* items = nullptr;
        LONG itemCount = -1;
        std::memcpy(&items, raw + layout::kTemplateRecordItems, sizeof items);
        std::memcpy(&itemCount, raw + layout::kTemplateRecordItemCount, sizeof itemCount);
        EXPECT_EQ(items, records[i].items);
        EXPECT_EQ(itemCount, records[i].itemCount);
    }
    // The array and one item block per template, nothing else.
    EXPECT_EQ(memory.LiveBlocks().size(), 4u);
    EXPECT_EQ(JobTplate_GetAll_Free(nullptr, &list_), BIDI_OK);
    EXPECT_TRUE(memory.LiveBlocks().empty());
    EXPECT_EQ(list_.count, 3) << "release leaves the caller's list alone";
}

TEST_F(Templates, GetNamesAsksOnlyForNames) {
    Script({{"A", 1, "k\tv\n"}, {"B", 2, ""}}, 2);
    GlobalMemoryWatch memory;
    ASSERT_EQ(JobTplate_GetNames(handle_, &list_), BIDI_OK);
    EXPECT_EQ(module().CallNames(), (std::vector<std::string>{"JobTPlate_QueryTemplateNames",
                                                              "JobTPlate_GetTemplateNames",
                                                              "JobTPlate_GetTemplateNames"}));
    ASSERT_EQ(list_.count, 2);
    for (LONG i = 0; i < 2; ++i) {
        EXPECT_EQ(list_.templates[i].tag, i + 1);
        EXPECT_EQ(list_.templates[i].items, nullptr);
        EXPECT_EQ(list_.templates[i].itemCount, 0);
    }
    EXPECT_EQ(Field(list_.templates[1].name), L"B");
    ASSERT_EQ(memory.LiveBlocks().size(), 1u);
    EXPECT_EQ(memory.LiveBlocks().begin()->second, layout::kTemplateArraySize);
    // The other release export serves as well: it finds no item blocks.
    EXPECT_EQ(JobTplate_GetAll_Free(handle_, &list_), BIDI_OK);
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

TEST_F(Templates, NamesArriveAsTheModuleWroteThem) {
    struct Case {
        const char* label;
        std::string bytes;
        UINT codePage;
        std::wstring expected;
    };
    const Case cases[] = {
        {"63 bytes whole", std::string(63, 'n') + '\0', 0, std::wstring(63, L'n')},
        {"64 bytes unterminated", std::string(64, 'u'), 0, std::wstring(63, L'u')},
        {"1252", "Qualit\xe9", 1252, L"Qualit\u00e9"},
        {"932", "\x83\x4a\x83\x89\x81\x5b", 932, L"\u30ab\u30e9\u30fc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.codePage && c.codePage != GetACP()) {
            continue;
        }
        Script({{c.bytes, 0, ""}}, 1);
        ASSERT_EQ(JobTplate_GetNames(handle_, &list_), BIDI_OK);
        EXPECT_EQ(Field(list_.templates[0].name), c.expected);
        EXPECT_TRUE(AllZero(list_.templates[0].name + c.expected.size(),
                            (64 - c.expected.size()) * sizeof(WCHAR)));
        JobTplate_GetNames_Free(handle_, &list_);
    }
}

TEST_F(Templates, CountsOfZeroOrLessGiveAnEmptyArray) {
    for (const LONG reported : {0L, -1L, LONG{INT_MIN}}) {
        for (const Listing listing : {&JobTplate_GetNames, &JobTplate_GetAll}) {
            SCOPED_TRACE(reported);
            Script({}, reported);
            module().ClearCalls();
            GlobalMemoryWatch memory;
            ASSERT_EQ(listing(handle_, &list_), BIDI_OK);
            EXPECT_EQ(list_.count, 0);
            ASSERT_NE(list_.templates, nullptr);
            EXPECT_TRUE(AllZero(list_.templates, layout::kTemplateArraySize));
            EXPECT_EQ(module().CallNames(),
                      std::vector<std::string>{"JobTPlate_QueryTemplateNames"});
            EXPECT_EQ(JobTplate_GetNames_Free(handle_, &list_), BIDI_OK);
            EXPECT_TRUE(memory.LiveBlocks().empty());
        }
    }
}

TEST_F(Templates, MoreThan64TemplatesKeepTheFirst64) {
    std::vector<Template> many;
    for (int i = 0; i < 100; ++i) {
        many.push_back({"T" + std::to_string(i), i, "k\tv\n"});
    }
    Script(many, 100);
    GlobalMemoryWatch memory;
    ASSERT_EQ(JobTplate_GetAll(handle_, &list_), BIDI_OK);
    EXPECT_EQ(list_.count, 64);
    EXPECT_EQ(Field(list_.templates[63].name), L"T63");
    EXPECT_EQ(module().CountCalls("JobTPlate_GetTemplateNames"), 64u);
    EXPECT_EQ(module().CountCalls("JobTPlate_GetTemplateItems"), 64u);
    EXPECT_EQ(module().Calls().back().args[0].raw,
              reinterpret_cast<std::uintptr_t>(&list_.templates[63]));
    EXPECT_EQ(memory.LiveBlocks().size(), 65u);
    // A caller's count beyond the array does not make the release walk past it.
    list_.count = 1000;
    JobTplate_GetAll_Free(handle_, &list_);
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

TEST_F(Templates, FailureAtTheSecondTemplateReleasesEverything) {
    struct Case {
        const char* label;
        Listing listing;
        bool failItems;  // otherwise the name call fails
        std::vector<std::string> calls;
    };
    const std::string q = "JobTPlate_QueryTemplateNames", n = "JobTPlate_GetTemplateNames",
                      i = "JobTPlate_GetTemplateItems";
    const Case cases[] = {
        {"names, by name", &JobTplate_GetNames, false, {q, n, n}},
        {"all, by name", &JobTplate_GetAll, false, {q, n, i, n}},
        {"all, by items", &JobTplate_GetAll, true, {q, n, i, n, i}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        Script({{"A", 1, "k\tv\n"}, {"B", 2, "k\tv\n"}, {"C", 3, "k\tv\n"}}, 3);
        const auto failAtSecond = [this](auto&&...) { return last_ == 1 ? LONG{0x1234} : 0; };
        if (c.failItems) {
            module().On(vyxquery::JobTPlate_GetTemplateItems, failAtSecond);
        } else {
            module().On(vyxquery::JobTPlate_GetTemplateNames,
                        [this, failAtSecond](VyxQueryContext*, LONG* index, LPSTR, LONG*) {
                            last_ = *index;
                            return failAtSecond();
                        });
        }
        module().ClearCalls();
        list_ = {kUnwrittenRecords, kUnwrittenCount};
        GlobalMemoryWatch memory;
        EXPECT_EQ(c.listing(handle_, &list_), 0x1234);
        EXPECT_EQ(list_.templates, nullptr);
        EXPECT_EQ(list_.count, 0);
        EXPECT_EQ(module().CallNames(), c.calls);
        EXPECT_TRUE(memory.LiveBlocks().empty());
        EXPECT_EQ(JobTplate_GetNames_Free(handle_, &list_), BIDI_OK);
        EXPECT_EQ(JobTplate_GetAll_Free(handle_, &list_), BIDI_OK);
    }
}

TEST_F(Templates, CountQueryFailureIsPassedThrough) {
    module().Returns(vyxquery::JobTPlate_QueryTemplateNames, -42);
    GlobalMemoryWatch memory;
    EXPECT_EQ(JobTplate_GetAll(handle_, &list_), -42);
    EXPECT_EQ(list_.templates, nullptr);
    EXPECT_EQ(list_.count, 0);
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

TEST(TemplatesWithoutEntryPoint, FailWithNothingHeld) {
    for (const wchar_t* variant :
         {L"without_JobTPlate_QueryTemplateNames", L"without_JobTPlate_GetTemplateNames",
          L"without_JobTPlate_GetTemplateItems"}) {
        SCOPED_TRACE(testing::Message() << variant);
        ScriptedHandle handle(variant);
        handle.module().On(vyxquery::JobTPlate_QueryTemplateNames,
                           [](VyxQueryContext*, LONG* count) {
                               *count = 2;
                               return LONG{0};
                           });
        GlobalMemoryWatch memory;
        TemplateList list{kUnwrittenRecords, kUnwrittenCount};
        EXPECT_EQ(JobTplate_GetAll(handle, &list), BIDI_ERR_NO_ENTRY_POINT);
        EXPECT_EQ(list.templates, nullptr);
        EXPECT_EQ(list.count, 0);
        EXPECT_TRUE(memory.LiveBlocks().empty());
        EXPECT_EQ(handle.module().CountCalls("JobTPlate_GetTemplateNames"),
                  std::wstring(variant).find(L"Items") != std::wstring::npos ? 1u : 0u);
    }
}

TEST_F(Templates, NullArgumentsCallNothing) {
    EXPECT_EQ(JobTplate_GetNames(nullptr, &list_), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(JobTplate_GetAll(nullptr, &list_), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(JobTplate_GetNames(handle_, nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_EQ(JobTplate_GetAll(handle_, nullptr), BIDI_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(module().Calls().empty());
    EXPECT_EQ(list_.templates, kUnwrittenRecords);
    EXPECT_EQ(JobTplate_GetNames_Free(handle_, nullptr), BIDI_OK);
    EXPECT_EQ(JobTplate_GetAll_Free(handle_, nullptr), BIDI_OK);
    TemplateList empty{nullptr, 5};
    EXPECT_EQ(JobTplate_GetAll_Free(handle_, &empty), BIDI_OK);
}

TEST_F(Templates, UnterminatedItemTextIsReadOnlyToItsEnd) {
    // 32768 bytes without a terminator: the line feed on the very last byte is not read.
    const std::string text = "a\tb\nk\t" + std::string(32768 - 7, 'v') + "\n";
    Script({{"T", 0, text}}, 1);
    ASSERT_EQ(JobTplate_GetAll(handle_, &list_), BIDI_OK);
    EXPECT_EQ(list_.templates[0].itemCount, 1);
    EXPECT_EQ(Field(list_.templates[0].items[0].value), L"b");
    JobTplate_GetAll_Free(handle_, &list_);
}

TEST_F(Templates, RepeatedListingsLeakNothing) {
    Script({{"A", 1, "k\tv\n"}, {"B", 2, "x\ty\n"}}, 2);
    GlobalMemoryWatch memory;
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(JobTplate_GetAll(handle_, &list_), BIDI_OK);
        JobTplate_GetAll_Free(handle_, &list_);
        ASSERT_EQ(JobTplate_GetNames(handle_, &list_), BIDI_OK);
        JobTplate_GetNames_Free(handle_, &list_);
    }
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

TEST_F(Templates, AllocationFailuresReleaseEverything) {
    Script({{"A", 1, "k\tv\n"}, {"B", 2, "x\ty\n"}}, 2);
    // Allocations in order: the array, then per template its name block and, for GetAll, its
    // item block and text block. Listed: the module calls made before the n-th one fails.
    const std::string q = "JobTPlate_QueryTemplateNames", n = "JobTPlate_GetTemplateNames",
                      i = "JobTPlate_GetTemplateItems";
    const std::vector<std::vector<std::string>> all = {{},        {q},          {q, n},      {q, n},
                                                       {q, n, i}, {q, n, i, n}, {q, n, i, n}};
    const std::vector<std::vector<std::string>> names = {{}, {q}, {q, n}};
    for (const auto& [listing, before] :
         {std::pair{&JobTplate_GetAll, all}, std::pair{&JobTplate_GetNames, names}}) {
        for (std::size_t failing = 1; failing <= before.size(); ++failing) {
            SCOPED_TRACE(testing::Message()
                         << before.size() << " allocations, failing " << failing);
            module().ClearCalls();
            list_ = {kUnwrittenRecords, kUnwrittenCount};
            GlobalMemoryWatch memory;
            memory.FailAllocation(static_cast<int>(failing));
            EXPECT_EQ(listing(handle_, &list_), BIDI_ERR_FAILED);
            EXPECT_EQ(list_.templates, nullptr);
            EXPECT_EQ(list_.count, 0);
            EXPECT_EQ(module().CallNames(), before[failing - 1]);
            EXPECT_TRUE(memory.LiveBlocks().empty());
        }
    }
}

TEST_F(Templates, AModuleWritingThroughItsArgumentsCannotMisplaceBlocks) {
    Script({{"A", 1, ""}, {"B", 2, ""}, {"C", 3, ""}}, 3);
    // It moves the listing's counter far past the array after every name.
    module().On(vyxquery::JobTPlate_GetTemplateNames,
                [](VyxQueryContext*, LONG* index, LPSTR name, LONG*) {
                    Fill(name, std::string(1, static_cast<char>('A' + *index)));
                    *index = 1000;
                    return LONG{0};
                });
    ASSERT_EQ(JobTplate_GetNames(handle_, &list_), BIDI_OK);
    ASSERT_EQ(list_.count, 3);
    EXPECT_EQ(Field(list_.templates[2].name), L"C");
    EXPECT_EQ(list_.templates[2].tag, 0) << "no tag written";
    JobTplate_GetNames_Free(handle_, &list_);

    // It writes a pointer of its own into the record it was shown, then fails.
    module().On(vyxquery::JobTPlate_GetTemplateItems,
                [](VyxQueryContext*, TemplateRecord* record, LPSTR, LONG*) {
                    record->items = reinterpret_cast<TemplateItem*>(0x1000);
                    return LONG{9};
                });
    GlobalMemoryWatch memory;
    EXPECT_EQ(JobTplate_GetAll(handle_, &list_), 9);
    EXPECT_TRUE(memory.LiveBlocks().empty());
}

}  // namespace
