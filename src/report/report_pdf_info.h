#pragma once

// The document information of a finished PDF (what a reader shows as its title, author and
// subject), written as an incremental update: a new information dictionary and a cross-reference
// section of its own after the end of the file, pointing back to the first. Readers take the
// newest; the bytes before stay as they were.

#include "report/report_content.h"

#include <string>

namespace qm {

// Appends the update for `info` (Windows-1252 texts; empty ones are left out) and `creator` to
// the PDF in `pdf`. Returns false, and leaves `pdf` as it was, when its trailer cannot be read.
bool append_document_info(std::string& pdf, const DocumentInfo& info, const std::string& creator);

} // namespace qm
