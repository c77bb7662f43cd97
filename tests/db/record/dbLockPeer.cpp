// A second program for the multi-process tests: reads one command per line from stdin, runs it
// on its own connection to a database and answers one line on stdout, "ok ..." or
// "err <code> <message>".
//
//   open <path> <retries> <interval ms> [<user>]   connect (user name for the lock file slot)
//   close                                          disconnect
//   slot                                           ok <slot offset> <presence byte>
//   lock <table id> read|write                     ok <lock type held>
//   unlock <table id>
//   start | commit | rollback                      transactions
//   add <table> <integer>                          ok <address>   (field 0 of a new record)
//   read <table> <address>                         ok <version>   (into the table's buffer)
//   update <table> <text>                          field 1 of the buffer, then update
//   count <table>                                  ok <records>
//   quit
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "db/lock/zuzMultiUserLocks.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzPosixFile.h"

using namespace zuz;

namespace {

std::unique_ptr<TDiskMgr> disk;
std::unique_ptr<TTableMgr> tables;
std::map<std::string, std::unique_ptr<TOpenTable>> open;

TOpenTable& Table(const std::string& name) {
  auto& t = open[name];
  if (!t) t = tables->OpenTable(name);
  return *t;
}

void Disconnect() {
  open.clear();
  tables.reset();
  if (disk) disk->Close();
  disk.reset();
}

std::string Run(const std::string& line) {
  std::istringstream in(line);
  std::string cmd;
  in >> cmd;
  if (cmd == "open") {
    std::string path, user;
    int retries = 10, interval = 200;
    in >> path >> retries >> interval >> user;
    Disconnect();
    disk = std::make_unique<TDiskMgr>(TPosixFileSystem::Instance());
    disk->SetLockProvider(std::make_unique<TMultiUserLockProvider>());
    disk->FileName = path;
    disk->LockRetryCount = retries;
    disk->LockRetryInterval = interval;
    disk->LockUserName = user;
    disk->Open();
    tables = std::make_unique<TTableMgr>(*disk, TTableMgrServices{NoTableIndexes()});
    tables->Open();
    return "ok";
  }
  if (cmd == "close") {
    Disconnect();
    return "ok";
  }
  if (!disk) return "err 0 not open";
  if (cmd == "slot") {
    auto* locks = dynamic_cast<TMultiUserLockProvider*>(disk->LockProvider());
    if (!locks) return "err 0 no lock file";
    return "ok " + std::to_string(locks->Monitor()->SlotOffset()) + " " +
           std::to_string(locks->Monitor()->PresenceAddress());
  }
  if (cmd == "lock") {
    int id = 0;
    std::string type;
    in >> id >> type;
    return "ok " + std::to_string(disk->LockTable(static_cast<uint16_t>(id),
                                                  type == "write" ? ltWrite : ltRead));
  }
  if (cmd == "unlock") {
    int id = 0;
    in >> id;
    disk->UnlockTable(static_cast<uint16_t>(id));
    return "ok";
  }
  if (cmd == "start") {
    disk->StartTransaction();
    return "ok";
  }
  if (cmd == "commit") {
    disk->Commit();
    return "ok";
  }
  if (cmd == "rollback") {
    disk->Rollback();
    return "ok";
  }
  std::string table;
  in >> table;
  if (cmd == "add") {
    long long value = 0;
    in >> value;
    TOpenTable& t = Table(table);
    t.NewRecord();
    t.SetValue(0, int64_t{value});
    return "ok " + std::to_string(t.AddRecord());
  }
  if (cmd == "read") {
    uint32_t address = 0;
    in >> address;
    TOpenTable& t = Table(table);
    if (!t.ReadRecord(address)) return "err 0 no record";
    return "ok " + std::to_string(t.BufferVersion());
  }
  if (cmd == "update") {
    std::string text;
    in >> text;
    TOpenTable& t = Table(table);
    t.SetValue(1, text);
    t.UpdateRecord();
    return "ok " + std::to_string(t.BufferVersion());
  }
  if (cmd == "count") return "ok " + std::to_string(Table(table).RecordCount());
  return "err 0 unknown command " + cmd;
}

}  // namespace

int main() {
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "quit") break;
    std::string reply;
    try {
      reply = Run(line);
    } catch (const EZuzDatabaseError& e) {
      reply = "err " + std::to_string(e.ErrorCode()) + " " + e.CustomMessage();
    } catch (const std::exception& e) {
      reply = std::string("err 0 ") + e.what();
    }
    std::cout << reply << std::endl;
  }
  Disconnect();
  return 0;
}
