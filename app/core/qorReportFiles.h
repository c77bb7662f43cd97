// Report and export files: the extension rule of the save dialogs, the refusal of a name that
// is the plan's own file, and writing a file whole or not at all. A file is first written under
// a temporary name beside the file it replaces (qorTemporaryFile.h),
//
//   <folder>/.<name>.<6 random letters>.part     created new (never an existing file), then
//   flushed to the disk and renamed to <folder>/<name>, replacing an existing file at once,
//
// so that a failure (a full disk, a converter error, an interrupted run, Ctrl-C) leaves any
// earlier file of that name as it was and no half-written one; the temporary file is removed.
// A name that is a symbolic link is written through the link: the file it leads to is replaced
// (in that file's folder) and the link stays. A replaced file keeps its permissions.
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

// Raises EqorFileError "Cannot write file " + fileName + ": it is ..." when fileName is, through
// symbolic links and "..", the plan's database file at databasePath, its journal or its lock
// file (the files are compared, not their names), so that no report or export replaces them.
void CheckNotPlanFile(const std::string& fileName, const std::string& databasePath);

// Calls write with the name of a new, empty temporary file in the folder of the file fileName
// leads to (through symbolic links), then makes it that file, with the permissions of the file
// it replaces. Raises EqorFileError "Cannot create file " + fileName when no temporary file can
// be made there, "Cannot write file " + fileName when writing or renaming fails; what write
// raises otherwise is passed on; "Cannot write file " + fileName also when it leads to something
// that is not a file (a folder, a device, a pipe), which stays as it is. In every failure the
// temporary file is removed.
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
// What the user is told when a PDF report drew characters that no installed font has (as the
// font's box): "3 characters had no font and show as boxes", without a full stop.
std::string NoFontMessage(size_t count);
