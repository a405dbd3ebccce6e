// The name database: the working table copied in name order into
// <name>.names, and <name>.types beside it.
#pragma once

#include <string>
#include <vector>

#include "dbf/DbfTable.h"
#include "frontend/BuildUi.h"
#include "platform/File.h"

namespace toponyx::pipeline {

// Index the working table on NAME (temp.ndx beside it) and make the index
// the table's order.
void IndexWorkingTable(dbf::DbfTable& working);

// Creates the output table at path with the working table's five fields and
// copies every live record in index order; closes both tables. Returns the
// number of records copied. The front end processes window events now and then.
uint64_t CopyInNameOrder(dbf::DbfTable& working, dbf::DbfTable& output, const std::string& path,
                         BuildUi& ui);

// The .types file: the datum lines, the full codes, the major codes.
std::string TypesFileText(const std::vector<std::string>& full_codes);
void WriteTypesFile(platform::FileSystem& fs, const std::string& path,
                    const std::vector<std::string>& full_codes);

}  // namespace toponyx::pipeline
