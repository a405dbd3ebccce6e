// The format dispatch: every staged file is opened, recognised by the table
// of formats from its extension, its name and its first line, and handed
// to the reader of its format, whose places go through the place chain
// into the working table's index.
#pragma once

#include <string>

#include "dbf/DbfTable.h"
#include "pipeline/BuildContext.h"

namespace toponyx::pipeline {

// Sets the table's field list to the five fields of a place record: NAME
// (45), FULL_CODE (40), MAJOR_CODE (40), LATITUDE (10), LONGITUDE (10).
void DefinePlaceFields(dbf::DbfTable& table);

// Creates temp.names in the folder, empty, with the five place fields. The
// places go into the name index as they are read (StartWorkingIndex): the
// table stays empty, since nobody would read its records.
void CreateWorkingTable(dbf::DbfTable& table, const std::string& folder);

// Reads every staged file of the context, in list order, reporting the
// share of input read to the front end.
void ReadStagedFiles(BuildContext& ctx);

// Reads one staged file (index i).
void ReadStagedFile(BuildContext& ctx, size_t i);

}  // namespace toponyx::pipeline
