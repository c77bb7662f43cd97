// Report and export files: the extension rule of the save dialogs, and writing a file whole or
// not at all. A file is first written under a temporary name beside it,
//
//   <folder>/.<name>.<6 random letters>.part     created new (never an existing file), then
//   flushed to the disk and renamed to <folder>/<name>, replacing an existing file at once,
//
// so that a failure (a full disk, a converter error, an interrupted run) leaves any earlier file
// of that name as it was and no half-written one; the temporary file is removed.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

class TqorPDFReporter;
class TqorRTFReporter;
class TqorXMLParser2;

// The file name with the extension of its last component replaced by extension (".pdf"), or
// extended with it when there is none: "plan.txt" and "plan" give "plan.pdf". A leading dot
// starts no extension (".plan" gives ".plan.pdf").
std::string ChangeFileExtension(std::string_view fileName, std::string_view extension);

// Calls write with the name of a new, empty temporary file in fileName's folder, then makes it
// fileName. Raises EqorFileError "Cannot create file " + fileName when no temporary file can be
// made there, "Cannot write file " + fileName when writing or renaming fails; what write raises
// otherwise is passed on. In every failure the temporary file is removed.
void WriteFileWhole(const std::string& fileName,
                    const std::function<void(const std::string& temporaryName)>& write);

// Converts the markup with the converter of the format, "PDF" or "RTF", into fileName, whole
// or not at all. Any other format writes nothing and returns false.
bool RenderReportFile(std::string_view format, std::string_view markup, const std::string& fileName,
                      const std::string& imageFolder, TqorPDFReporter& pdfReporter,
                      TqorRTFReporter& rtfReporter);

// Writes the document in its XML file form (the bytes SaveToFile writes), whole or not at all.
// Returns the number of characters XML cannot hold that were left out (see XmlLeftOutMessage).
size_t ExportPlannerXml(const TqorXMLParser2& document, const std::string& fileName);
// What the user is told when an export left characters out: their number, and what they are.
std::string XmlLeftOutMessage(size_t count, const std::string& fileName);
