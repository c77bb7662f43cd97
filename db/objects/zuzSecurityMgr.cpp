#include "db/objects/zuzSecurityMgr.h"

#include <algorithm>
#include <array>

#include "db/record/zuzDataUnit.h"
#include "db/record/zuzTableMgrUnit.h"
#include "db/storage/zuzCrypt.h"
#include "db/storage/zuzDisk.h"
#include "db/storage/zuzError.h"
#include "db/storage/zuzLockProvider.h"
#include "db/storage/zuzSystemInfo.h"
#include "planner/base/qorStrings.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TSecurityManager";

// Fields of the security tables, in the order they are declared.
enum { kGroupId = 0, kGroupName = 1 };
enum {
  kUserId = 0,
  kUserName = 1,
  kPwd0 = 2,
  kUserGroupId = 7,
  kDateCreated = 8,
  kDateLastModified = 9,
  kDateLastPasswordChange = 10,
};
enum {
  kObjGroupId = 0,
  kObjType = 1,
  kObjId = 2,
  kObjPrivilege = 3,
  kObjAll = 4,
  kObjGrantOption = 7,
};
enum { kSysGroupId = 0, kSysPrivilege = 1, kSysGrantOption = 2 };

constexpr TZuzPrivilege kObjectPrivilegeList[] = {TZuzPrivilege::Alter,  TZuzPrivilege::Open,
                                                  TZuzPrivilege::Insert, TZuzPrivilege::Update,
                                                  TZuzPrivilege::Delete, TZuzPrivilege::Drop};

TIndexDesc Index(const char* name, const char* fields, bool unique) {
  TIndexDesc d;
  d.Name = name;
  d.Fields = fields;
  d.Unique = unique;
  d.CaseInsensitive = true;
  return d;
}

int64_t IntOf(const TOpenTable& t, int field) {
  const TFieldValue v = t.GetValue(field);
  const auto* i = std::get_if<int64_t>(&v);
  return i ? *i : 0;
}

double DateOf(const TOpenTable& t, int field) {
  const TFieldValue v = t.GetValue(field);
  const auto* d = std::get_if<double>(&v);
  return d ? *d : 0;
}

std::string TextOf(const TOpenTable& t, int field) {
  const TFieldValue v = t.GetValue(field);
  const auto* s = std::get_if<std::string>(&v);
  return s ? *s : std::string();
}

// The digest's words as the 20 bytes compared.
std::array<uint8_t, 20> DigestBytes(const std::array<uint32_t, 5>& words) {
  std::array<uint8_t, 20> out{};
  for (int w = 0; w < 5; ++w) {
    for (int b = 0; b < 4; ++b) out[w * 4 + b] = static_cast<uint8_t>(words[w] >> (8 * b));
  }
  return out;
}

std::array<uint32_t, 5> StoredDigest(const TOpenTable& users) {
  std::array<uint32_t, 5> words{};
  for (int w = 0; w < 5; ++w) words[w] = static_cast<uint32_t>(IntOf(users, kPwd0 + w));
  return words;
}

void SetDigest(TOpenTable& users, const std::string& password) {
  const std::array<uint32_t, 5> words = Sha1Words(password);
  for (int w = 0; w < 5; ++w) {
    users.SetValue(kPwd0 + w, int64_t{static_cast<int32_t>(words[w])});
  }
}

void CheckName(const std::string& name, const char* caller) {
  if (name.empty() || name.size() > static_cast<size_t>(TSecurityManager::kMaxNameLength)) {
    ZuzDatabaseError(ZUZ_ERR_NAME_RANGE, caller, name, kObject);
  }
}

}  // namespace

TZuzLoginMode LoginModeFor(uint32_t securityLevel, bool databasePasswordSet) {
  if (securityLevel == 2) {
    return databasePasswordSet ? TZuzLoginMode::User : TZuzLoginMode::All;
  }
  if (securityLevel == 1 && !databasePasswordSet) return TZuzLoginMode::DatabasePassword;
  return TZuzLoginMode::None;
}

TSecurityManager::TSecurityManager(TTableMgr& tables) : tables_(tables) {}

TSecurityManager::~TSecurityManager() = default;

void TSecurityManager::CreateSecurityTables(TTableMgr& tables) {
  using F = TFieldType;
  const TTableOptions options = tables.DefaultTableOptions();
  tables.InternalCreateTable(BuildTableDef(
      kGroupsTable, {{"GroupID", F::ftAutoInc}, {"GroupName", F::ftString, kMaxNameLength}},
      {Index("ixGroupName", "GroupName", true), Index("ixGroupID", "GroupID", true)}, options));
  tables.InternalCreateTable(BuildTableDef(
      kUsersTable,
      {{"UserID", F::ftAutoInc},
       {"UserName", F::ftString, kMaxNameLength},
       {"Pwd0", F::ftInteger},
       {"Pwd1", F::ftInteger},
       {"Pwd2", F::ftInteger},
       {"Pwd3", F::ftInteger},
       {"Pwd4", F::ftInteger},
       {"GroupID", F::ftInteger},
       {"DateCreated", F::ftDateTime},
       {"DateLastModified", F::ftDateTime},
       {"DateLastPWordChange", F::ftDateTime}},
      {Index("ixUserName", "UserName", true), Index("ixGroupUsers", "GroupID;UserName", false),
       Index("ixPasswordAge", "DateLastPWordChange", false)},
      options));
  tables.InternalCreateTable(BuildTableDef(
      kObjectPrivilegesTable,
      {{"GroupID", F::ftInteger},
       {"ObjectType", F::ftInteger},
       {"ObjectID", F::ftInteger},
       {"PrivilegeID", F::ftInteger},
       {"ALL", F::ftBoolean},
       {"FieldsShort", F::ftString, 100},
       {"FieldsLong", F::ftMemo},
       {"GrantOption", F::ftBoolean}},
      {Index("ixGroupPriv", "GroupID;ObjectType;ObjectID;PrivilegeID", true)}, options));
  tables.InternalCreateTable(BuildTableDef(
      kSystemPrivilegesTable,
      {{"GroupID", F::ftInteger}, {"PrivilegeID", F::ftInteger}, {"GrantOption", F::ftBoolean}},
      {Index("ixGroupPriv", "GroupID;PrivilegeID", true)}, options));
}

std::unique_ptr<TOpenTable> TSecurityManager::Open(const char* table) {
  return tables_.OpenTable(table);
}

bool TSecurityManager::FindText(TOpenTable& table, int field, const std::string& value) {
  TOpenTable::TLockScope lock(table, ltRead);
  auto holds = [&] { return SameTextIgnoringCase(TextOf(table, field), value); };
  const std::string& fieldName = table.Def().InternalFields[static_cast<size_t>(field)].FieldName;
  if (const auto found = table.Indexes().FindByFields(fieldName, {value})) {
    for (uint32_t address : *found) {
      if (table.ReadRecord(address) && holds()) return true;
    }
  }
  // The security tables are small: make sure by reading them whole.
  for (uint32_t address : table.RecordAddresses()) {
    if (table.ReadRecord(address) && holds()) return true;
  }
  return false;
}

std::optional<int64_t> TSecurityManager::FindGroupId(TOpenTable& groups, const std::string& group) {
  if (!FindText(groups, kGroupName, group)) return std::nullopt;
  return IntOf(groups, kGroupId);
}

int64_t TSecurityManager::GroupIdOrFail(TOpenTable& groups, const std::string& group,
                                        const char* caller) {
  const std::optional<int64_t> id = FindGroupId(groups, group);
  if (!id) ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, caller, group, kObject);
  return *id;
}

bool TSecurityManager::IsAdministrator() const {
  return loggedOn_ && SameTextIgnoringCase(groupName_, kAdministrators);
}

void TSecurityManager::CheckAdministrator(const char* caller) const {
  if (!IsAdministrator()) ZuzDatabaseError(ZUZ_ERR_PRIVILEGE, caller, {}, kObject);
}

// --- Log-on ---

void TSecurityManager::Logon(const std::string& userName, const std::string& password,
                             const std::string& databaseName) {
  const char* caller = "TSecurityManager.Logon";
  loggedOn_ = false;
  objectPrivileges_.clear();
  systemPrivileges_.clear();
  // Worked out before the look-up, so that an unknown user takes as long as a wrong password.
  const std::array<uint8_t, 20> given = DigestBytes(Sha1Words(password));
  auto users = Open(kUsersTable);
  if (!FindText(*users, kUserName, userName)) {
    if (userName == kAdministrator) {
      auto groups = Open(kGroupsTable);
      if (!FindGroupId(*groups, kAdministrators)) {
        groups.reset();
        users.reset();
        Bootstrap(databaseName);
        return;
      }
    }
    ZuzDatabaseError(ZUZ_ERR_BAD_PASSWORD, caller, {}, kObject);
  }
  const std::array<uint8_t, 20> stored = DigestBytes(StoredDigest(*users));
  if (!ConstantTimeEqual(given.data(), stored.data(), given.size())) {
    ZuzDatabaseError(ZUZ_ERR_BAD_PASSWORD, caller, {}, kObject);
  }
  const std::string name = TextOf(*users, kUserName);
  if (name != kAdministrator && PasswordAgeLimit > 0 &&
      DateOf(*users, kDateLastPasswordChange) + PasswordAgeLimit < NowDayNumber()) {
    ZuzDatabaseError(ZUZ_ERR_BAD_PASSWORD, caller, "The password has expired", kObject);
  }
  const int64_t groupId = IntOf(*users, kUserGroupId);
  std::string groupName;
  auto groups = Open(kGroupsTable);
  {
    TOpenTable::TLockScope lock(*groups, ltRead);
    for (uint32_t address : groups->RecordAddresses()) {
      if (groups->ReadRecord(address) && IntOf(*groups, kGroupId) == groupId) {
        groupName = TextOf(*groups, kGroupName);
        break;
      }
    }
  }
  userName_ = name;
  groupId_ = groupId;
  groupName_ = groupName;
  databaseName_ = databaseName;
  loggedOn_ = true;
  LoadPrivileges();
}

void TSecurityManager::Bootstrap(const std::string& databaseName) {
  auto groups = Open(kGroupsTable);
  auto users = Open(kUsersTable);
  auto objects = Open(kObjectPrivilegesTable);
  auto system = Open(kSystemPrivilegesTable);
  TZuzOwnTransaction transaction(tables_.Disk());
  groups->NewRecord();
  groups->SetValue(kGroupName, std::string(kAdministrators));
  groups->ReadRecord(groups->AddRecord());
  const int64_t groupId = IntOf(*groups, kGroupId);
  const double now = NowDayNumber();
  users->NewRecord();
  users->SetValue(kUserName, std::string(kAdministrator));
  SetDigest(*users, kInitialPassword);
  users->SetValue(kUserGroupId, groupId);
  users->SetValue(kDateCreated, now);
  users->SetValue(kDateLastModified, now);
  users->SetValue(kDateLastPasswordChange, now);
  users->AddRecord();
  for (TZuzPrivilege p : kObjectPrivilegeList) AddObjectPrivilege(*objects, groupId, 0, p, true);
  AddSystemPrivilege(*system, groupId, TZuzPrivilege::Create, true);
  transaction.Commit();
  userName_ = kAdministrator;
  groupId_ = groupId;
  groupName_ = kAdministrators;
  databaseName_ = databaseName;
  loggedOn_ = true;
  LoadPrivileges();
}

// --- Privileges ---

void TSecurityManager::LoadPrivileges() {
  objectPrivileges_.clear();
  systemPrivileges_.clear();
  if (!loggedOn_) return;
  auto objects = Open(kObjectPrivilegesTable);
  {
    TOpenTable::TLockScope lock(*objects, ltRead);
    for (uint32_t address : objects->RecordAddresses()) {
      if (!objects->ReadRecord(address) || IntOf(*objects, kObjGroupId) != groupId_ ||
          IntOf(*objects, kObjType) != kTableObject) {
        continue;
      }
      objectPrivileges_[IntOf(*objects, kObjId)].insert(
          static_cast<int>(IntOf(*objects, kObjPrivilege)));
    }
  }
  auto system = Open(kSystemPrivilegesTable);
  TOpenTable::TLockScope lock(*system, ltRead);
  for (uint32_t address : system->RecordAddresses()) {
    if (system->ReadRecord(address) && IntOf(*system, kSysGroupId) == groupId_) {
      systemPrivileges_.insert(static_cast<int>(IntOf(*system, kSysPrivilege)));
    }
  }
}

std::optional<int64_t> TSecurityManager::ObjectIdFor(const std::string& table, const char* caller) {
  std::string actual;
  for (const std::string& name : tables_.TableNames()) {
    if (SameTextIgnoringCase(name, table)) {
      actual = name;
      break;
    }
  }
  if (actual.empty()) return std::nullopt;
  const std::optional<int64_t> id = tables_.ObjectIdOf(actual);
  if (!id) ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, caller, actual, kObject);
  return id;
}

bool TSecurityManager::HasPrivilege(const std::string& table, TZuzPrivilege privilege) {
  if (!loggedOn_) return false;
  const int wanted = static_cast<int>(privilege);
  if (privilege == TZuzPrivilege::Create) return systemPrivileges_.count(wanted) != 0;
  // The engine's own tables (catalogues, object ids, counters, users and privileges) carry no
  // privileges: deleting or changing them would lock everyone out.
  if (!table.empty() && table.front() == '$') return IsAdministrator();
  const std::optional<int64_t> id = ObjectIdFor(table, "TSecurityManager.CheckPrivilege");
  if (!id) return true;  // not a table of the database file
  auto own = objectPrivileges_.find(*id);
  if (own == objectPrivileges_.end()) own = objectPrivileges_.find(0);
  return own != objectPrivileges_.end() && own->second.count(wanted) != 0;
}

void TSecurityManager::AddObjectPrivilege(TOpenTable& privileges, int64_t groupId, int64_t objectId,
                                          TZuzPrivilege privilege, bool grantOption) {
  privileges.NewRecord();
  privileges.SetValue(kObjGroupId, groupId);
  privileges.SetValue(kObjType, int64_t{kTableObject});
  privileges.SetValue(kObjId, objectId);
  privileges.SetValue(kObjPrivilege, int64_t{static_cast<int>(privilege)});
  privileges.SetValue(kObjAll, true);
  privileges.SetValue(kObjGrantOption, grantOption);
  privileges.AddRecord();
}

void TSecurityManager::AddSystemPrivilege(TOpenTable& privileges, int64_t groupId,
                                          TZuzPrivilege privilege, bool grantOption) {
  privileges.NewRecord();
  privileges.SetValue(kSysGroupId, groupId);
  privileges.SetValue(kSysPrivilege, int64_t{static_cast<int>(privilege)});
  privileges.SetValue(kSysGrantOption, grantOption);
  privileges.AddRecord();
}

void TSecurityManager::AfterPrivilegeChange(int64_t groupId) {
  if (loggedOn_ && groupId == groupId_) LoadPrivileges();
}

// --- Administration ---

void TSecurityManager::AddGroup(const std::string& group) {
  const char* caller = "TSecurityManager.AddGroup";
  CheckAdministrator(caller);
  CheckName(group, caller);
  auto groups = Open(kGroupsTable);
  TZuzOwnTransaction transaction(tables_.Disk());
  if (FindGroupId(*groups, group)) ZuzDatabaseError(ZUZ_ERR_ALREADY_EXISTS, caller, group, kObject);
  groups->NewRecord();
  groups->SetValue(kGroupName, group);
  groups->AddRecord();
  transaction.Commit();
}

void TSecurityManager::DeleteGroup(const std::string& group) {
  const char* caller = "TSecurityManager.DeleteGroup";
  CheckAdministrator(caller);
  if (SameTextIgnoringCase(group, kAdministrators)) {
    ZuzDatabaseError(ZUZ_ERR_INVALID_OPERATION, caller, group, kObject);
  }
  auto groups = Open(kGroupsTable);
  auto users = Open(kUsersTable);
  auto objects = Open(kObjectPrivilegesTable);
  auto system = Open(kSystemPrivilegesTable);
  TZuzOwnTransaction transaction(tables_.Disk());
  const int64_t groupId = GroupIdOrFail(*groups, group, caller);
  const uint32_t groupRow = groups->CurrentAddress();
  {
    TOpenTable::TLockScope lock(*users, ltRead);
    for (uint32_t address : users->RecordAddresses()) {
      if (users->ReadRecord(address) && IntOf(*users, kUserGroupId) == groupId) {
        ZuzDatabaseError(ZUZ_ERR_IN_USE, caller, group, kObject);
      }
    }
  }
  for (auto [table, field] :
       {std::pair{objects.get(), int{kObjGroupId}}, std::pair{system.get(), int{kSysGroupId}}}) {
    TOpenTable::TLockScope lock(*table, ltWrite);
    for (uint32_t address : table->RecordAddresses()) {
      if (table->ReadRecord(address) && IntOf(*table, field) == groupId) table->DeleteRecord(false);
    }
  }
  if (!groups->ReadRecord(groupRow)) ZuzDatabaseError(ZUZ_ERR_RECORD_CHANGED, caller, group);
  groups->DeleteRecord(false);
  transaction.Commit();
}

void TSecurityManager::AddUser(const std::string& user, const std::string& password,
                               const std::string& group) {
  const char* caller = "TSecurityManager.AddUser";
  CheckAdministrator(caller);
  CheckName(user, caller);
  auto groups = Open(kGroupsTable);
  auto users = Open(kUsersTable);
  TZuzOwnTransaction transaction(tables_.Disk());
  const int64_t groupId = GroupIdOrFail(*groups, group, caller);
  if (FindText(*users, kUserName, user)) {
    ZuzDatabaseError(ZUZ_ERR_ALREADY_EXISTS, caller, user, kObject);
  }
  const double now = NowDayNumber();
  users->NewRecord();
  users->SetValue(kUserName, user);
  SetDigest(*users, password);
  users->SetValue(kUserGroupId, groupId);
  users->SetValue(kDateCreated, now);
  users->SetValue(kDateLastModified, now);
  users->SetValue(kDateLastPasswordChange, now);
  users->AddRecord();
  transaction.Commit();
}

void TSecurityManager::DeleteUser(const std::string& user) {
  const char* caller = "TSecurityManager.DeleteUser";
  CheckAdministrator(caller);
  auto users = Open(kUsersTable);
  TZuzOwnTransaction transaction(tables_.Disk());
  if (!FindText(*users, kUserName, user))
    ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, caller, user, kObject);
  if (TextOf(*users, kUserName) == kAdministrator) {
    ZuzDatabaseError(ZUZ_ERR_INVALID_OPERATION, caller, user, kObject);
  }
  users->DeleteRecord(false);
  transaction.Commit();
}

void TSecurityManager::SetUserGroup(const std::string& user, const std::string& group) {
  const char* caller = "TSecurityManager.SetUserGroup";
  CheckAdministrator(caller);
  auto groups = Open(kGroupsTable);
  auto users = Open(kUsersTable);
  TZuzOwnTransaction transaction(tables_.Disk());
  const int64_t groupId = GroupIdOrFail(*groups, group, caller);
  if (!FindText(*users, kUserName, user))
    ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, caller, user, kObject);
  if (TextOf(*users, kUserName) == kAdministrator) {
    ZuzDatabaseError(ZUZ_ERR_INVALID_OPERATION, caller, user, kObject);
  }
  users->SetValue(kUserGroupId, groupId);
  users->SetValue(kDateLastModified, NowDayNumber());
  users->UpdateRecord();
  transaction.Commit();
}

void TSecurityManager::SetPassword(const std::string& user, const std::string& password) {
  const char* caller = "TSecurityManager.SetPassword";
  if (!loggedOn_ || (!IsAdministrator() && !SameTextIgnoringCase(user, userName_))) {
    ZuzDatabaseError(ZUZ_ERR_PRIVILEGE, caller, {}, kObject);
  }
  auto users = Open(kUsersTable);
  TZuzOwnTransaction transaction(tables_.Disk());
  if (!FindText(*users, kUserName, user))
    ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, caller, user, kObject);
  const double now = NowDayNumber();
  SetDigest(*users, password);
  users->SetValue(kDateLastModified, now);
  users->SetValue(kDateLastPasswordChange, now);
  users->UpdateRecord();
  transaction.Commit();
}

void TSecurityManager::Grant(const std::string& group, const std::string& table,
                             TZuzPrivilege privilege, bool grantOption) {
  const char* caller = "TSecurityManager.Grant";
  CheckAdministrator(caller);
  auto groups = Open(kGroupsTable);
  const int64_t groupId = GroupIdOrFail(*groups, group, caller);
  const int wanted = static_cast<int>(privilege);
  TZuzOwnTransaction transaction(tables_.Disk());
  if (privilege == TZuzPrivilege::Create) {
    auto system = Open(kSystemPrivilegesTable);
    TOpenTable::TLockScope lock(*system, ltWrite);
    for (uint32_t address : system->RecordAddresses()) {
      if (system->ReadRecord(address) && IntOf(*system, kSysGroupId) == groupId &&
          IntOf(*system, kSysPrivilege) == wanted) {
        return;
      }
    }
    AddSystemPrivilege(*system, groupId, privilege, grantOption);
  } else {
    std::optional<int64_t> objectId = int64_t{0};
    if (!SameTextIgnoringCase(table, kAllTables)) objectId = ObjectIdFor(table, caller);
    if (!objectId) ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, caller, table, kObject);
    auto objects = Open(kObjectPrivilegesTable);
    TOpenTable::TLockScope lock(*objects, ltWrite);
    for (uint32_t address : objects->RecordAddresses()) {
      if (objects->ReadRecord(address) && IntOf(*objects, kObjGroupId) == groupId &&
          IntOf(*objects, kObjType) == kTableObject && IntOf(*objects, kObjId) == *objectId &&
          IntOf(*objects, kObjPrivilege) == wanted) {
        return;
      }
    }
    AddObjectPrivilege(*objects, groupId, *objectId, privilege, grantOption);
  }
  transaction.Commit();
  AfterPrivilegeChange(groupId);
}

void TSecurityManager::Revoke(const std::string& group, const std::string& table,
                              TZuzPrivilege privilege) {
  const char* caller = "TSecurityManager.Revoke";
  CheckAdministrator(caller);
  auto groups = Open(kGroupsTable);
  const int64_t groupId = GroupIdOrFail(*groups, group, caller);
  const int wanted = static_cast<int>(privilege);
  TZuzOwnTransaction transaction(tables_.Disk());
  if (privilege == TZuzPrivilege::Create) {
    auto system = Open(kSystemPrivilegesTable);
    TOpenTable::TLockScope lock(*system, ltWrite);
    for (uint32_t address : system->RecordAddresses()) {
      if (system->ReadRecord(address) && IntOf(*system, kSysGroupId) == groupId &&
          IntOf(*system, kSysPrivilege) == wanted) {
        system->DeleteRecord(false);
      }
    }
  } else {
    std::optional<int64_t> objectId = int64_t{0};
    if (!SameTextIgnoringCase(table, kAllTables)) objectId = ObjectIdFor(table, caller);
    if (!objectId) ZuzDatabaseError(ZUZ_ERR_NOT_FOUND, caller, table, kObject);
    auto objects = Open(kObjectPrivilegesTable);
    TOpenTable::TLockScope lock(*objects, ltWrite);
    for (uint32_t address : objects->RecordAddresses()) {
      if (objects->ReadRecord(address) && IntOf(*objects, kObjGroupId) == groupId &&
          IntOf(*objects, kObjType) == kTableObject && IntOf(*objects, kObjId) == *objectId &&
          IntOf(*objects, kObjPrivilege) == wanted) {
        objects->DeleteRecord(false);
      }
    }
  }
  transaction.Commit();
  AfterPrivilegeChange(groupId);
}

std::vector<std::string> TSecurityManager::UserNames() {
  if (!IsAdministrator()) {
    return loggedOn_ ? std::vector<std::string>{userName_} : std::vector<std::string>{};
  }
  auto users = Open(kUsersTable);
  TOpenTable::TLockScope lock(*users, ltRead);
  std::vector<std::string> names;
  for (uint32_t address : users->RecordAddresses()) {
    if (users->ReadRecord(address)) names.push_back(TextOf(*users, kUserName));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TSecurityManager::GroupNames() {
  if (!IsAdministrator()) {
    return loggedOn_ ? std::vector<std::string>{groupName_} : std::vector<std::string>{};
  }
  auto groups = Open(kGroupsTable);
  TOpenTable::TLockScope lock(*groups, ltRead);
  std::vector<std::string> names;
  for (uint32_t address : groups->RecordAddresses()) {
    if (groups->ReadRecord(address)) names.push_back(TextOf(*groups, kGroupName));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace zuz
