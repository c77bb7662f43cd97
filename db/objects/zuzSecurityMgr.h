// User security of a database (security level 2): its users and groups, the log-on of a user and
// the privileges of the user's group on the tables.
//
// Tables (created with the file; every index case-insensitive, unique unless noted):
//   $SYSTBL_SECGROUPS   GroupID ftAutoInc, GroupName ftString 30
//                       ixGroupName (GroupName), ixGroupID (GroupID)
//   $SYSTBL_SECUSERS    UserID ftAutoInc, UserName ftString 30, Pwd0..Pwd4 ftInteger, GroupID
//                       ftInteger, DateCreated, DateLastModified, DateLastPWordChange ftDateTime
//                       ixUserName (UserName), ixGroupUsers (GroupID;UserName, not unique),
//                       ixPasswordAge (DateLastPWordChange, not unique)
//   $SYSTBL_SECOBJPRIV  GroupID, ObjectType, ObjectID, PrivilegeID ftInteger, ALL ftBoolean,
//                       FieldsShort ftString 100, FieldsLong ftMemo, GrantOption ftBoolean
//                       ixGroupPriv (GroupID;ObjectType;ObjectID;PrivilegeID)
//   $SYSTBL_SECSYSPRIV  GroupID, PrivilegeID ftInteger, GrantOption ftBoolean
//                       ixGroupPriv (GroupID;PrivilegeID)
//
// A password is kept as its SHA-1 digest: Pwd0..Pwd4 hold the result words H0..H4 (as signed
// 32-bit integers); digests are compared in constant time and passwords are never stored,
// logged or put into a message.
//
// Privileges belong to groups. An object privilege names a table (ObjectType 1) by its object
// id in $SYSTBL_OBJECTIDREF, or every table by ObjectID 0 ("ALL"); ALL (the boolean) is always
// set, as privileges cover whole rows. A table is checked against its own entries when the group
// has any for it, else against the entries of "ALL". Creating tables is the system privilege
// Create. Privilege numbers: 1 Create, 2 Alter, 3 Open, 4 Insert, 5 Update, 6 Delete, 7 Drop.
//
// The first log-on of "administrator", while the group "administrators" does not exist, creates
// the group with every privilege on "ALL" and the user "administrator" with the initial password
// kInitialPassword, and lets the user in without checking the password. Only members of
// "administrators" manage users, groups and privileges; the group and its user "administrator"
// can't be deleted, so that the bootstrap never opens again.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zuz {

class TOpenTable;
class TTableMgr;

// What a statement or a table dataset asks of the logged-on user on a table.
enum class TZuzPrivilege {
  Create = 1,
  Alter = 2,
  Open = 3,
  Insert = 4,
  Update = 5,
  Delete = 6,
  Drop = 7
};

// What the login asks for: nothing, the database password, the user name and password, or all.
enum class TZuzLoginMode { None = 0, DatabasePassword = 1, User = 2, All = 3 };

// The login a database needs: level 2 asks for the user (and the database password unless one is
// set already), level 1 for the database password unless one is set; level 0 for nothing.
TZuzLoginMode LoginModeFor(uint32_t securityLevel, bool databasePasswordSet);

class TSecurityManager {
 public:
  static constexpr const char* kGroupsTable = "$SYSTBL_SECGROUPS";
  static constexpr const char* kUsersTable = "$SYSTBL_SECUSERS";
  static constexpr const char* kObjectPrivilegesTable = "$SYSTBL_SECOBJPRIV";
  static constexpr const char* kSystemPrivilegesTable = "$SYSTBL_SECSYSPRIV";
  static constexpr const char* kAdministrator = "administrator";
  static constexpr const char* kAdministrators = "administrators";
  static constexpr const char* kInitialPassword = "nimbus";
  static constexpr const char* kAllTables = "ALL";
  static constexpr int kTableObject = 1;
  static constexpr int kMaxNameLength = 30;

  // The tables of a database must outlive the manager.
  explicit TSecurityManager(TTableMgr& tables);
  ~TSecurityManager();
  TSecurityManager(const TSecurityManager&) = delete;
  TSecurityManager& operator=(const TSecurityManager&) = delete;

  // Creates the four security tables (while the database is being created).
  static void CreateSecurityTables(TTableMgr& tables);

  // Days a password stays valid after it was set; 0 or less: for ever.
  int PasswordAgeLimit = 0;

  // Logs the user on and loads the group's privileges: 10036 for an unknown user, a wrong password
  // or (custom text "The password has expired") an expired one; the bootstrap of "administrator".
  void Logon(const std::string& userName, const std::string& password,
             const std::string& databaseName);
  bool LoggedOn() const { return loggedOn_; }
  const std::string& UserName() const { return userName_; }
  const std::string& GroupName() const { return groupName_; }
  int64_t GroupID() const { return groupId_; }
  const std::string& DatabaseName() const { return databaseName_; }
  bool IsAdministrator() const;

  // Whether the logged-on group holds the privilege on the table (for Create, the system
  // privilege; the name is not looked at). A name that is no table of the database file (a
  // memory table) needs none; a table $SYSTBL_OBJECTIDREF does not know is 8579 with its name.
  // Tables whose name begins with "$" (the engine's own) are for administrators alone, whatever
  // the privileges say. False when nobody is logged on.
  bool HasPrivilege(const std::string& table, TZuzPrivilege privilege);
  // Reads the group's privileges again (after another program changed them).
  void LoadPrivileges();

  // --- Administration: for members of "administrators" (10624 otherwise), each change a
  // transaction of its own. Names are 1 to 30 bytes (9605); names compare without case. ---
  // 8580 when the group exists.
  void AddGroup(const std::string& group);
  // Deletes the group and its privileges: 8579 when unknown, 8578 while users belong to it, 8577
  // for "administrators".
  void DeleteGroup(const std::string& group);
  // 8580 when the user exists, 8579 for an unknown group.
  void AddUser(const std::string& user, const std::string& password, const std::string& group);
  // 8579 when unknown, 8577 for "administrator".
  void DeleteUser(const std::string& user);
  // Moves the user to the group: 8579 for an unknown user or group, 8577 for "administrator".
  void SetUserGroup(const std::string& user, const std::string& group);
  // Sets a user's password and its date; a user may set the own one, administrators any (8579
  // for an unknown user).
  void SetPassword(const std::string& user, const std::string& password);
  // Grants or revokes a privilege of the group on the table, or on every table with "ALL" (Create
  // takes no table). 8579 for an unknown group or table. Granting twice or revoking what was not
  // granted changes nothing.
  void Grant(const std::string& group, const std::string& table, TZuzPrivilege privilege,
             bool grantOption = false);
  void Revoke(const std::string& group, const std::string& table, TZuzPrivilege privilege);
  // The names the logged-on user may see, in name order: every one for administrators, the own
  // user and group for the others (who may not read the security tables).
  std::vector<std::string> UserNames();
  std::vector<std::string> GroupNames();

 private:
  struct TUserRow;
  void CheckAdministrator(const char* caller) const;
  std::unique_ptr<TOpenTable> Open(const char* table);
  // Positions the table on the row whose text field equals the value (without case).
  static bool FindText(TOpenTable& table, int field, const std::string& value);
  std::optional<int64_t> FindGroupId(TOpenTable& groups, const std::string& group);
  int64_t GroupIdOrFail(TOpenTable& groups, const std::string& group, const char* caller);
  // The object id of a table for a privilege entry: 0 for "ALL", none for a name that is no table
  // of the database file; 8579 for a table without an object id.
  std::optional<int64_t> ObjectIdFor(const std::string& table, const char* caller);
  void Bootstrap(const std::string& databaseName);
  void AddObjectPrivilege(TOpenTable& privileges, int64_t groupId, int64_t objectId,
                          TZuzPrivilege privilege, bool grantOption);
  void AddSystemPrivilege(TOpenTable& privileges, int64_t groupId, TZuzPrivilege privilege,
                          bool grantOption);
  void AfterPrivilegeChange(int64_t groupId);

  TTableMgr& tables_;
  bool loggedOn_ = false;
  std::string userName_;
  std::string groupName_;
  int64_t groupId_ = 0;
  std::string databaseName_;
  std::map<int64_t, std::set<int>> objectPrivileges_;  // object id (0 = ALL) -> privileges
  std::set<int> systemPrivileges_;
};

}  // namespace zuz
