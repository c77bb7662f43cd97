// zuzdump: prints what a database file holds at the storage level, reading the bytes itself
// so that it also works on damaged files. Layouts: see docs/file-format.md.
//
//   zuzdump <file.zuz> [--pages] [--key <master key>] [--tables] [--records <table>]
//              [--index <table> [<index name>]] [--limit <n>]
//   zuzdump --check <file.zuz> [--key <master key>]
//   zuzdump --help | --version
//
// Sections: database header (with checksum verdict), security header, global header, every map
// page (which pages belong to which owner tag), the free chains, and the table-header maps with
// the header blocks they lead to. With --tables, --records or --index, instead: the tables of
// both catalogues with their fields, record sizes and indexes, the records of one table field by
// field, or the indexes of one table with their levels, fill, checks and keys in order
// (dumpTables.h). Problems are reported as "!! ..." lines; the exit status is 1 when
// any was found, 2 when the file can't be read or the command line is wrong (a short usage goes to
// standard error).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "db/index/zuzIntegrityCheck.h"
#include "db/objects/zuzEngineSetup.h"
#include "db/storage/zuzCoding.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzDbHeader.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzMapPage.h"
#include "db/storage/zuzPosixFile.h"
#include "db/storage/zuzSystemInfo.h"
#include "tools/zuzdump/dumpTables.h"

using namespace zuz;

namespace {

constexpr int64_t kPage = 4096;
int problems = 0;

void Problem(const std::string& text) {
  std::printf("  !! %s\n", text.c_str());
  ++problems;
}

std::string OwnerText(uint16_t entry) {
  if (entry == 0) return "never allocated";
  if (entry & kMapFreeBit) return "free";
  char buf[96];
  const char* usage;
  switch (entry & 15) {
    case 1:
      usage = "system structures";
      break;
    case 2:
      usage = "map page";
      break;
    case 8:
      usage = "index nodes";
      break;
    case 9:
      usage = "records";
      break;
    case 10:
      usage = "blobs";
      break;
    default:
      usage = "unknown usage";
      break;
  }
  std::snprintf(buf, sizeof buf, "tag 0x%04x: table %u, %s (usage %u)", entry, entry >> 4, usage,
                entry & 15);
  return buf;
}

std::string PageRange(int64_t first, int64_t last) {
  return first == last ? "page " + std::to_string(first)
                       : "pages " + std::to_string(first) + "-" + std::to_string(last);
}

struct TFile {
  std::vector<uint8_t> bytes;
  bool Has(int64_t offset, int64_t n) const {
    return offset >= 0 && n >= 0 && offset + n <= static_cast<int64_t>(bytes.size());
  }
  const uint8_t* At(int64_t offset) const { return bytes.data() + offset; }
};

void DatabaseHeader(const TFile& f) {
  std::printf("Database header (offset 0, 254 bytes)\n");
  if (!f.Has(0, 254)) return Problem("the file is too short for the database header");
  std::vector<uint8_t> h(f.At(0), f.At(254));
  uint32_t stored = GetU32(h.data() + 250);
  PutU32(h.data() + 250, 0);
  uint32_t computed = DatabaseHeaderChecksum(h.data());
  std::printf("  first word       %u\n", GetU16(h.data()));
  std::printf("  database name    \"%s\"\n", GetUtf16Slot(h.data() + 2, 60).c_str());
  std::printf("  created on       \"%s\"\n", GetUtf16Slot(h.data() + 64, 60).c_str());
  std::printf("  created at       %.6f (%s)\n", GetF64(h.data() + 126),
              DayText(GetF64(h.data() + 126)).c_str());
  std::printf("  created by       \"%s\"\n", GetUtf16Slot(h.data() + 134, 60).c_str());
  uint32_t sort = GetU32(h.data() + 200);
  std::printf("  sort order       %u (%s)\n", sort,
              sort == 0   ? "soANSI"
              : sort == 1 ? "soASCII"
                          : "?");
  TDatabaseHeader parsed;
  parsed.version = GetUtf16Slot(h.data() + 204, 40);
  std::printf("  version          \"%s\" (major %d, minor %d, disk format %d)\n",
              parsed.version.c_str(), parsed.MajorVersion(), parsed.MinorVersion(),
              parsed.DiskFormat());
  uint32_t level = GetU32(h.data() + 246);
  std::printf("  security level   %u (%s)\n", level,
              level == 0   ? "none"
              : level == 1 ? "master key"
              : level == 2 ? "master key and users"
                           : "?");
  std::printf("  checksum         stored %08x, computed %08x: %s\n", stored, computed,
              stored == computed ? "correct" : "WRONG");
  if (stored != computed)
    Problem("database header checksum is wrong (the engine refuses it: 8961)");
  if (parsed.DiskFormat() > kSupportedDiskFormat) {
    Problem("disk format is newer than this engine's (the engine refuses it: 12041)");
  }
}

void SecurityHeader(const TFile& f, const char* key) {
  std::printf("\nSecurity header (offset 768, 40 bytes)\n");
  if (!f.Has(768, 40)) return Problem("the file is too short for the security header");
  std::vector<uint8_t> s(f.At(768), f.At(808));
  bool empty = true;
  for (uint8_t b : s) empty = empty && b == 0;
  if (empty) {
    std::printf("  (all zero: no master key was set)\n");
    return;
  }
  uint32_t stored = GetU32(s.data() + 36);
  PutU32(s.data() + 36, 0);
  uint32_t computed = Crc32(s.data(), s.size());
  std::printf("  length           %u\n", GetU32(s.data()));
  std::printf("  written at       %.6f (%s)\n", GetF64(s.data() + 4),
              DayText(GetF64(s.data() + 4)).c_str());
  std::printf("  words            %u %u\n", GetU16(s.data() + 12), GetU16(s.data() + 14));
  std::printf("  key digest       %s\n", Hex(s.data() + 16, 20).c_str());
  std::printf("  CRC              stored %08x, computed %08x: %s\n", stored, computed,
              stored == computed ? "correct" : "WRONG");
  if (stored != computed) Problem("security header CRC is wrong (the engine refuses it: 8451)");
  if (key) {
    auto digest = MasterKeyDigest(key);
    bool match = std::memcmp(digest.data(), s.data() + 16, 20) == 0;
    std::printf("  given key        %s\n",
                match ? "matches the digest" : "does NOT match the digest");
    if (!match) Problem("the given master key does not match");
  }
}

void TableHeaderMap(const TFile& f, const char* name, int64_t base, uint32_t firstId) {
  std::printf("\n%s table-header map (offset %lld, ids from %u)\n", name,
              static_cast<long long>(base), firstId);
  if (!f.Has(base, 8192)) return Problem("the file is too short for this map");
  int used = 0;
  bool ended = false;
  std::set<uint32_t> ids;
  for (int i = 0; i < 1000; ++i) {
    uint32_t id = GetU32(f.At(base + 8 * i));
    uint32_t address = GetU32(f.At(base + 8 * i + 4));
    if (id == 0 && address == 0) {
      ended = true;
      continue;
    }
    ++used;
    std::printf("  pair %3d: table %u, header block at %u", i, id, address);
    if (ended) Problem("pair after an unused pair: the map must have no gaps");
    if (id < firstId || id >= firstId + 1000) Problem("table id out of this map's range");
    if (!ids.insert(id).second) Problem("table id appears twice");
    if (address % 256 != 0 || !f.Has(address, 256) || address < 6 * kPage) {
      std::printf("\n");
      Problem("header block address is not a 256-byte block inside the file");
      continue;
    }
    const uint8_t* h = f.At(address);
    std::printf(
        "\n            id %u, writes %u, size %u, record first-empty %u, last autoinc %u,"
        " last sequence %u, blob first-empty %u, indexes %u\n",
        GetU32(h), GetU32(h + 4), GetU32(h + 8), GetU32(h + 12), GetU32(h + 16), GetU32(h + 20),
        GetU32(h + 24), GetU32(h + 36));
    uint32_t indexes = GetU32(h + 36);
    for (uint32_t k = 0; k < indexes && k < 34; ++k) {
      std::printf("            index %u: root %u, levels %u\n", k, GetU32(h + 48 + 6 * k),
                  GetU16(h + 52 + 6 * k));
    }
    if (GetU32(h) != id) Problem("the header block names another table");
    if (GetU32(h + 8) != 256) Problem("the header block's size is not 256");
    if (indexes > 34) Problem("more than 34 index slots");
  }
  for (int i = 8000; i < 8192; ++i) {
    if (*f.At(base + i) != 0) {
      Problem("the unused last 192 bytes are not zero");
      break;
    }
  }
  std::printf("  %d table%s\n", used, used == 1 ? "" : "s");
}

void MapPages(const TFile& f, bool everyPage) {
  const int64_t pages = static_cast<int64_t>(f.bytes.size()) / kPage;
  const uint8_t* g = f.At(1024);
  const uint32_t hint = GetU32(g + 16), first = GetU32(g + 20), count = GetU32(g + 24);
  int64_t address = first;
  std::set<int64_t> seen;
  int64_t lowestWithFree = 0;
  for (uint32_t k = 0; k < count; ++k) {
    std::printf("\nMap page %u at %lld (page %lld) describes pages %lld-%lld\n", k,
                static_cast<long long>(address), static_cast<long long>(address / kPage),
                static_cast<long long>(int64_t{k} * kMapEntriesPerPage),
                static_cast<long long>(int64_t{k} * kMapEntriesPerPage + kMapEntriesPerPage - 1));
    if (address == 0) return Problem("the chain ends before the map page count is reached");
    if (address % kPage != 0 || !f.Has(address, kPage)) {
      return Problem("map page address is not a page inside the file");
    }
    if (!seen.insert(address).second) return Problem("the map page chain loops");
    TMapPage page;
    std::memcpy(page.data.data(), f.At(address), kPage);
    std::printf("  index %u, next %u, free chain head %u\n", page.Index(), page.Next(),
                page.Head());
    if (page.Index() != k)
      Problem("index word is " + std::to_string(page.Index()) + ", expected " + std::to_string(k));
    // Owners, as runs of equal entries (or one line per page with --pages).
    int runStart = 0;
    for (int i = 1; i <= kMapEntriesPerPage; ++i) {
      auto kind = [&](int j) {
        uint16_t e = page.Entry(j);
        return (e & kMapFreeBit) ? uint16_t{kMapFreeBit} : e;
      };
      if (i < kMapEntriesPerPage && !everyPage && kind(i) == kind(runStart)) continue;
      int64_t a = int64_t{k} * kMapEntriesPerPage + runStart;
      int64_t b = int64_t{k} * kMapEntriesPerPage + i - 1;
      uint16_t e = kind(runStart);
      bool pastEnd = a >= pages;
      if (!(pastEnd && e == 0)) {
        std::printf("  %-16s %s%s\n", PageRange(a, b).c_str(), OwnerText(e).c_str(),
                    pastEnd ? "  (beyond the end of the file)" : "");
        if (pastEnd) Problem("entries beyond the end of the file are not zero");
      }
      runStart = i;
    }
    // The free chain.
    std::vector<int> chain;
    std::set<int> visited;
    bool broken = false;
    for (int off = page.Head(); off != 0;) {
      if (!TMapPage::IsEntryOffset(off)) {
        Problem("free chain link " + std::to_string(off) + " is not an entry offset");
        broken = true;
        break;
      }
      if (!visited.insert(off).second) {
        Problem("the free chain loops at offset " + std::to_string(off));
        broken = true;
        break;
      }
      uint16_t e = page.EntryAt(off);
      if (!(e & kMapFreeBit)) {
        Problem("the free chain reaches page " +
                std::to_string(int64_t{k} * kMapEntriesPerPage + TMapPage::EntryOfOffset(off)) +
                ", which has an owner");
        broken = true;
        break;
      }
      chain.push_back(off);
      off = e & 0x7FFF;
    }
    int freeEntries = 0;
    for (int i = 0; i < kMapEntriesPerPage; ++i)
      freeEntries += (page.Entry(i) & kMapFreeBit) ? 1 : 0;
    std::printf("  free chain: %zu entr%s", chain.size(), chain.size() == 1 ? "y" : "ies");
    for (std::size_t i = 0; i < chain.size();) {
      std::size_t j = i + 1;
      while (j < chain.size() && chain[j] == chain[j - 1] + 2) ++j;
      int64_t a = int64_t{k} * kMapEntriesPerPage + TMapPage::EntryOfOffset(chain[i]);
      std::printf("%s %s", i == 0 ? ":" : ",",
                  PageRange(a, a + static_cast<int64_t>(j - i) - 1).c_str());
      i = j;
    }
    std::printf("\n");
    for (std::size_t i = 1; i < chain.size(); ++i) {
      if (chain[i] <= chain[i - 1]) {
        Problem("the free chain is not in ascending order");
        break;
      }
    }
    if (!broken && static_cast<int>(chain.size()) != freeEntries) {
      Problem(std::to_string(freeEntries - static_cast<int>(chain.size())) +
              " free entries are not reachable from the chain head (lost pages)");
    }
    if (!chain.empty() && lowestWithFree == 0) lowestWithFree = address;
    address = page.Next();
  }
  if (address != 0) Problem("the last map page links on to " + std::to_string(address));
  std::printf("\n");
  if (hint != 0 && lowestWithFree == 0 && hint != kPage * 5) {
    Problem("global item 16 names a map page although no map page has free entries");
  }
  if (lowestWithFree != 0 && hint != lowestWithFree) {
    Problem("global item 16 (" + std::to_string(hint) +
            ") is not the first map page with free entries (" + std::to_string(lowestWithFree) +
            ")");
  }
  if (count == 0 || int64_t{count} > pages / kMapEntriesPerPage + 2) {
    Problem("the map page count does not fit the file size");
  }
}

// Why the key can't open the file when its headers are sound: the file needs its database
// password, or the one given is another's; empty when the key is not the question.
std::string KeyProblem(const char* path, const char* key) {
  std::string error;
  auto file = TPosixFileSystem::Instance().Open(path, TZuzAccess::ReadOnly, TZuzShare::DenyNone,
                                                TZuzCreate::OpenExisting, &error);
  constexpr int64_t kEnd = TSecurityHeader::kFileOffset + TSecurityHeader::kSize;
  uint8_t bytes[kEnd];
  if (!file || file->ReadAt(0, bytes, kEnd) != kEnd) return {};
  try {
    const TDatabaseHeader header = TDatabaseHeader::Decode(bytes);
    const uint8_t* security = bytes + TSecurityHeader::kFileOffset;
    if (header.securityLevel == 0 || !TSecurityHeader::Intact(security) ||
        TSecurityHeader::Fits(security, key ? key : "")) {
      return {};
    }
  } catch (const EZuzDatabaseError&) {
    return {};  // a damaged header is a problem the check reports
  }
  return key ? "the key given is not the database password"
             : "the file is encrypted: give its database password with --key";
}

// Errors of opening the file that say it can't be read, not that it is damaged.
bool CannotBeRead(int code) {
  switch (code) {
    case ZUZ_ERR_NO_SUCH_FILE:
    case ZUZ_ERR_FILE_NOT_FOUND:
    case ZUZ_ERR_OPEN_FILE:
    case ZUZ_ERR_IO:
    case ZUZ_ERR_READ:
    case ZUZ_ERR_WRITE:
    case ZUZ_ERR_LOCK_TIMEOUT:
    case ZUZ_ERR_IN_USE:
    case ZUZ_ERR_TOO_MANY_CLIENTS:
    case ZUZ_ERR_VERSION:
      return true;
    default:
      return false;
  }
}

// The engine's integrity check, through a read-only connection: one line per problem (exit
// status 1). A file that can't be read (missing, refused by the system, held back by the journal
// of a commit cut short, short of its key, on a disk too full for the lock file) is exit status
// 2, with the reason on standard error.
int CheckIntegrity(const char* path, const char* key) {
  const std::string keyProblem = KeyProblem(path, key);
  if (!keyProblem.empty()) {
    std::fprintf(stderr, "zuzdump: cannot check %s: %s\n", path, keyProblem.c_str());
    return 2;
  }
  std::vector<std::string> found;
  try {
    TZuzOpenOptions options;
    options.fileName = path;
    options.readOnly = true;
    options.masterKey = key ? key : "";
    std::unique_ptr<TZuzEngineDb> db;
    try {
      db = std::make_unique<TZuzEngineDb>(TPosixFileSystem::Instance(), options);
    } catch (const EZuzDatabaseError& e) {
      if (!CannotBeRead(e.ErrorCode())) throw;
      std::fprintf(stderr, "zuzdump: cannot check %s: %s\n", path, e.what());
      return 2;
    }
    found = CheckDatabaseIntegrity(db->Tables());
    db->Close();
  } catch (const EZuzDatabaseError& e) {
    found.push_back(e.what());
  }
  for (const std::string& line : found) std::printf("%s\n", line.c_str());
  if (found.empty()) std::printf("No problems found.\n");
  return found.empty() ? 0 : 1;
}

const char* const kSynopsis =
    "Usage: zuzdump FILE [--pages] [--key KEY]\n"
    "  or:  zuzdump FILE [--key KEY] (--tables | --records TABLE | --index TABLE [INDEX]) "
    "[--limit N]\n"
    "  or:  zuzdump --check FILE [--key KEY]\n";

// --help: the synopsis and every option, on standard output.
int Help() {
  std::printf(
      "%s"
      "Print what a Vazadod database file holds at the storage level: the database,\n"
      "security and global headers, the page map with its free chains and the\n"
      "table-header maps. The bytes are read directly, so damaged files can be\n"
      "inspected too; problems are reported as lines starting with \"!!\".\n"
      "\n"
      "Options:\n"
      "  --check                run the engine's integrity check (headers, map, free\n"
      "                         lists, table headers, records, blobs and indexes)\n"
      "                         instead: one line per problem\n"
      "  --pages                one line per page instead of runs of pages with the\n"
      "                         same owner\n"
      "  --key KEY              check a master key against the security header's\n"
      "                         digest, and decrypt the tables with it\n"
      "  --tables               the tables of both catalogues: fields, record sizes,\n"
      "                         indexes\n"
      "  --records TABLE        the records of a table, field by field, with blob\n"
      "                         lengths\n"
      "  --index TABLE [INDEX]  the indexes of a table, or one of them (the primary\n"
      "                         index is \"\"): definition, levels, nodes and fill,\n"
      "                         checks, keys in order\n"
      "  --limit N              list at most N keys of each index\n"
      "  --help                 print this help and exit\n"
      "  --version              print the version and exit\n"
      "\n"
      "Exit status:\n"
      "  0  no problem was found\n"
      "  1  the file has problems (each one is listed)\n"
      "  2  wrong usage, or the file cannot be read (missing, refused, held back by\n"
      "     the journal of a commit cut short, or needing its database password)\n",
      kSynopsis);
  return 0;
}

// Wrong usage: what was wrong and the synopsis, on standard error; exit status 2.
int Usage(const std::string& problem) {
  std::fprintf(stderr, "zuzdump: %s\n%sTry 'zuzdump --help' for more information.\n",
               problem.c_str(), kSynopsis);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  const char* key = nullptr;
  const char* recordsOf = nullptr;
  const char* indexesOf = nullptr;
  const char* indexName = nullptr;
  int64_t limit = INT64_MAX;
  bool everyPage = false;
  bool tables = false;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) return Help();
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("zuzdump (Vazadod) %s\n", VAZADOD_VERSION);
      return 0;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
    } else if (std::strcmp(argv[i], "--pages") == 0) {
      everyPage = true;
    } else if (std::strcmp(argv[i], "--tables") == 0) {
      tables = true;
    } else if (std::strcmp(argv[i], "--records") == 0 && hasValue) {
      recordsOf = argv[++i];
    } else if (std::strcmp(argv[i], "--index") == 0 && hasValue) {
      indexesOf = argv[++i];
      // An index name follows unless it would be the file's name.
      if (i + 1 < argc && argv[i + 1][0] != '-' &&
          (path || (i + 2 < argc && argv[i + 2][0] != '-'))) {
        indexName = argv[++i];
      }
    } else if (std::strcmp(argv[i], "--limit") == 0 && hasValue) {
      const char* text = argv[++i];
      const char* end = text + std::strlen(text);
      const auto parsed = std::from_chars(text, end, limit);
      if (parsed.ec != std::errc() || parsed.ptr != end || limit < 0) {
        return Usage(std::string("--limit needs a whole number of 0 or more, not '") + text + "'");
      }
    } else if (std::strcmp(argv[i], "--key") == 0 && hasValue) {
      key = argv[++i];
    } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
      const bool known = std::strcmp(argv[i], "--records") == 0 ||
                         std::strcmp(argv[i], "--index") == 0 ||
                         std::strcmp(argv[i], "--limit") == 0 || std::strcmp(argv[i], "--key") == 0;
      return Usage(known ? std::string(argv[i]) + " needs a value"
                         : std::string("unknown option '") + argv[i] + "'");
    } else if (path) {
      return Usage(std::string("one file at a time ('") + path + "' and '" + argv[i] + "')");
    } else {
      path = argv[i];
    }
  }
  if (!path) return Usage("no database file given");
  if (check) {
    if (tables || recordsOf || indexesOf || everyPage) {
      return Usage("--check takes no other option than --key");
    }
    return CheckIntegrity(path, key);
  }
  std::string error;
  auto file = TPosixFileSystem::Instance().Open(path, TZuzAccess::ReadOnly, TZuzShare::DenyNone,
                                                TZuzCreate::OpenExisting, &error);
  if (!file) {
    std::fprintf(stderr, "zuzdump: cannot open %s: %s\n", path, error.c_str());
    return 2;
  }
  TFile f;
  int64_t size = file->Size();
  if (size < 0 || size > (int64_t{1} << 31)) {
    std::fprintf(stderr, "zuzdump: %s: unusable file size %lld\n", path,
                 static_cast<long long>(size));
    return 2;
  }
  f.bytes.resize(static_cast<size_t>(size));
  if (file->ReadAt(0, f.bytes.data(), size) != size) {
    std::fprintf(stderr, "zuzdump: cannot read %s: %s\n", path, file->LastErrorText().c_str());
    return 2;
  }
  std::printf("File %s: %lld bytes, %lld pages of 4096%s\n\n", path, static_cast<long long>(size),
              static_cast<long long>(size / kPage), size % kPage ? " and a partial page" : "");
  if (size % kPage) Problem("the size is not a whole number of pages");
  if (tables || recordsOf || indexesOf) {
    problems += DumpTables(f.bytes, key, tables, recordsOf, indexesOf, indexName, limit);
    std::printf("\n%s\n", problems == 0
                              ? "No problems found."
                              : (std::to_string(problems) + " problem(s) found.").c_str());
    return problems == 0 ? 0 : 1;
  }
  DatabaseHeader(f);
  SecurityHeader(f, key);
  std::printf("\nGlobal header (offset 1024, 128 bytes)\n");
  if (!f.Has(1024, 128)) {
    Problem("the file is too short for the global header");
  } else {
    const uint8_t* g = f.At(1024);
    std::printf("  16 map page with free entries     %u\n", GetU32(g + 16));
    std::printf("  20 first map page                 %u\n", GetU32(g + 20));
    std::printf("  24 map pages                      %u\n", GetU32(g + 24));
    std::printf("  28 user table headers first-empty   %u\n", GetU32(g + 28));
    std::printf("  32 system table headers first-empty %u\n", GetU32(g + 32));
    std::printf("  36 index nodes first-empty        %u\n", GetU32(g + 36));
    // Any value is valid: 0 until a program commits to the file, then raised by every commit.
    std::printf("  40 change counter                 %u\n", GetU32(g + 40));
    for (int i = 0; i < 128; i += 4) {
      if ((i < 16 || i >= 44) && GetU32(g + i) != 0) {
        Problem("global header item " + std::to_string(i) + " should be zero");
      }
    }
    MapPages(f, everyPage);
  }
  TableHeaderMap(f, "System", 4096, 1024);
  TableHeaderMap(f, "User", 12288, 1);
  std::printf("\n%s\n", problems == 0 ? "No problems found."
                                      : (std::to_string(problems) + " problem(s) found.").c_str());
  return problems == 0 ? 0 : 1;
}
