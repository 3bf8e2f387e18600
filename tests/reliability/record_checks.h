// What every record the library hands out must look like, whatever the query module answered.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

#include <set>
#include <string>

namespace vyxtest {

// Each check gives an empty string for a sound record, else its first fault. Sound means: the
// block has the record's size; every string ends inside its field with only zeros behind it;
// counts lie within their arrays; pointer slots and records past the count are empty.
std::string CheckFeatureList(const FeatureList* list);
std::string CheckFeatureInfo(const FeatureInfo* info);
std::string CheckTrays(const TrayRecord* trays, LONG count);
std::string CheckToners(const TonerRecord* toners, LONG count);
std::string CheckInstallables(const InstallablesRecord* record);
std::string CheckTemplates(const TemplateList& list, bool withItems);

// The global blocks a sound record consists of, added to `blocks`.
void AddBlocks(const FeatureList* list, std::set<HGLOBAL>& blocks);
void AddBlocks(const FeatureInfo* info, std::set<HGLOBAL>& blocks);
void AddBlocks(const TemplateList& list, std::set<HGLOBAL>& blocks);
void AddBlock(const void* record, std::set<HGLOBAL>& blocks);

}  // namespace vyxtest
