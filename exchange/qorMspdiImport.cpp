#include "exchange/qorMspdiImport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "exchange/qorMspdiError.h"
#include "exchange/qorMspdiFields.h"
#include "exchange/qorMspdiScanner.h"
#include "exchange/qorMspdiText.h"
#include "planner/base/qorCalendar.h"
#include "planner/base/qorEncoding.h"
#include "planner/base/qorUtf8.h"
#include "planner/schedule/qorWorkCalendar.h"
#include "planner/xml/qorXMLParser2.h"

namespace {

using TNode = TqorXMLNode2;

// A text for a message: at most 60 bytes of it.
std::string Shown(std::string_view text) {
  if (text.size() <= 60) return std::string(text);
  return std::string(text.substr(0, Utf8Boundary(text, 60))) + "...";
}

std::string DateText(int32_t day) {
  return MspdiDateTime(day, 0).substr(0, 10);
}

std::string Count(size_t n, std::string_view one, std::string_view many) {
  return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// --- The bytes as UTF-8 text ---

bool StartsWith(std::string_view s, std::string_view what) {
  return s.substr(0, what.size()) == what;
}

// The encoding a leading XML declaration names, upper case without "-" and "_"; empty when
// none.
std::string DeclaredEncoding(std::string_view bytes) {
  if (!StartsWith(bytes, "<?xml")) return {};
  const std::string_view decl = bytes.substr(0, bytes.find("?>"));
  const size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return {};
  size_t i = at + 8;
  while (i < decl.size() && (decl[i] == ' ' || decl[i] == '\t' || decl[i] == '=')) ++i;
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return {};
  const size_t close = decl.find(decl[i], i + 1);
  if (close == std::string_view::npos) return {};
  std::string name;
  for (char c : decl.substr(i + 1, close - i - 1)) {
    if (c == '-' || c == '_') continue;
    name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  }
  return name;
}

// The file's text as UTF-8: the bytes themselves when they are, else converted into converted.
std::string_view TextOfBytes(std::string_view bytes, std::string& converted) {
  if (StartsWith(bytes, "\xFE\xFF") || StartsWith(bytes, "\xFF\xFE"))
    throw EqorMspdiError("", 0, "the file is UTF-16: this import reads UTF-8 MS Project XML files");
  const bool bom = StartsWith(bytes, "\xEF\xBB\xBF");
  if (bom) bytes.remove_prefix(3);
  const std::string encoding = bom ? "UTF8" : DeclaredEncoding(bytes);
  if (encoding == "ISO88591" || encoding == "LATIN1") return converted = Latin1ToUtf8(bytes);
  if (encoding == "WINDOWS1252" || encoding == "CP1252") return converted = Cp1252ToUtf8(bytes);
  const bool utf8 = IsValidUtf8(bytes);
  if (!utf8 && !encoding.empty() && encoding != "UTF8" && encoding != "USASCII" &&
      encoding != "ASCII")
    throw EqorMspdiError("", 0,
                         "the file's encoding " + Shown(encoding) +
                             " is none of those this import reads (UTF-8, ISO-8859-1, "
                             "windows-1252)");
  if (utf8) return bytes;
  return converted = Utf8BytesToText(bytes);
}

// --- One record's values ---

// The line of a node of a record's tree: the record lists its elements' lines in document order.
int64_t LineOf(const TqorMspdiRecord& record, const TNode& root, const TNode* target) {
  size_t index = 0;
  std::vector<const TNode*> stack{&root};
  while (!stack.empty()) {
    const TNode* node = stack.back();
    stack.pop_back();
    if (node == target) break;
    ++index;
    for (int i = node->ChildCount() - 1; i >= 0; --i) stack.push_back(node->GetChild(i));
  }
  if (index < record.Lines.size()) return record.Lines[index];
  return record.Lines.empty() ? 0 : record.Lines.front();
}

class TValues {
 public:
  TValues(const TqorMspdiRecord& record, const TNode& root) : record_(record), root_(root) {}

  int64_t Line(const TNode& node) const { return LineOf(record_, root_, &node); }
  [[noreturn]] void Fail(const TNode& node, const std::string& reason) const {
    throw EqorMspdiError(node.Name(), Line(node), reason);
  }
  static std::string Text(const TNode& node) { return DecodeMspdiText(node.Text()); }
  int64_t Integer(const TNode& node) const {
    int64_t value = 0;
    if (!TryParseMspdiInteger(Text(node), value))
      Fail(node, "'" + Shown(Text(node)) + "' is not a whole number");
    return value;
  }
  double Decimal(const TNode& node, int shift = 0) const {
    double value = 0;
    if (!TryParseMspdiDecimal(Text(node), shift, value))
      Fail(node, "'" + Shown(Text(node)) + "' is not a number");
    return value;
  }
  bool Flag(const TNode& node) const {
    bool value = false;
    if (!TryParseMspdiFlag(Text(node), value))
      Fail(node, "'" + Shown(Text(node)) + "' is not 0 or 1");
    return value;
  }
  void DateTime(const TNode& node, int32_t& day, int32_t& minutes) const {
    if (!TryParseMspdiDateTime(Text(node), day, minutes))
      Fail(node,
           "'" + Shown(Text(node)) +
               "' is not a date and time from 0001-01-01 to 9999-12-31 (yyyy-mm-ddThh:mm:ss)");
  }
  int32_t Time(const TNode& node) const {
    int32_t minutes = 0;
    if (!TryParseMspdiTime(Text(node), minutes))
      Fail(node, "'" + Shown(Text(node)) + "' is not a time of day (hh:mm:ss)");
    return minutes;
  }

 private:
  const TqorMspdiRecord& record_;
  const TNode& root_;
};

// --- What the file holds, as read ---

struct TExtended {
  int64_t FieldId = 0;
  std::string Value;
  int64_t Line = 0;
};

struct TRawLink {
  bool HasPredecessor = false;
  int64_t PredecessorUid = 0;
  bool HasType = false;
  int64_t Type = 1;
  double Lag = 0;  // tenths of minutes
  int64_t LagFormat = kMspdiLagDays;
  bool CrossProject = false;
};

struct TRawTask {
  int64_t Line = 0;
  bool HasUid = false;
  int64_t Uid = 0;
  std::string Name;
  bool HasOutlineNumber = false;
  std::string OutlineNumber;
  int64_t OutlineLevel = -1;
  bool HasStart = false, HasFinish = false;
  int32_t Start = 0, Finish = 0;
  bool Summary = false, Milestone = false, IsNull = false;
  bool HasPercent = false;
  double Percent = 0;
  std::string Notes;
  std::vector<TRawLink> Links;
  std::vector<TExtended> Extended;
};

struct TRawResource {
  int64_t Line = 0;
  bool HasUid = false;
  int64_t Uid = 0;
  std::string Name, Initials, Notes;
  int64_t Type = 1;
  bool IsNull = false;
  double MaxUnits = 100;
  double Rate = 0;
  bool HasCalendar = false;
  int64_t CalendarUid = 0;
  std::vector<TExtended> Extended;
};

struct TRawAssignment {
  bool HasTask = false, HasResource = false;
  int64_t TaskUid = 0, ResourceUid = 0;
  double Units = 100;
};

struct TException {
  int32_t From = 0, To = 0;
  bool Working = false;
  bool PartDay = false;
  bool Recurring = false;
};

// A day of a calendar's week: working minutes, or one of these.
constexpr int32_t kUnknownDay = -1;    // not given: the base calendar's
constexpr int32_t kDefaultTimes = -2;  // working, at the default times (one working day)

struct TCalendar {
  int64_t Uid = 0;
  bool HasBase = false;
  int64_t BaseUid = -1;
  std::array<int32_t, 7> Week{kUnknownDay, kUnknownDay, kUnknownDay, kUnknownDay,
                              kUnknownDay, kUnknownDay, kUnknownDay};  // Sunday first
  std::vector<TException> DayTypeZero;
  bool HasExceptions = false;
  std::vector<TException> Exceptions;
};

class TImport {
 public:
  explicit TImport(const std::string& fileName) {
    const size_t slash = fileName.find_last_of("/\\");
    name_ = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = name_.rfind('.');
    projectName_ = dot == std::string::npos || dot == 0 ? name_ : name_.substr(0, dot);
    if (projectName_.empty()) projectName_ = "Tasks";
  }

  void Record(const TqorMspdiRecord& record) {
    const std::string_view c = record.Container, n = record.Name;
    enum { kField, kTask, kResource, kAssignment, kCalendar, kExtended, kOther } kind = kOther;
    if (c.empty())
      kind = n == "MinutesPerDay" || n == "MinutesPerWeek" || n == "CalendarUID" ? kField : kOther;
    else if (c == "Tasks" && n == "Task")
      kind = kTask;
    else if (c == "Resources" && n == "Resource")
      kind = kResource;
    else if (c == "Assignments" && n == "Assignment")
      kind = kAssignment;
    else if (c == "Calendars" && n == "Calendar")
      kind = kCalendar;
    else if (c == "ExtendedAttributes" && n == "ExtendedAttribute")
      kind = kExtended;
    if (kind == kOther) {
      if (!c.empty()) ++notRead_[std::string(c)];
      return;
    }
    doc_.SetXml(record.Text);
    if (!doc_.LastError().empty()) {
      const std::string& e = doc_.LastError();
      throw EqorMspdiError(std::string(record.Name), record.Lines.empty() ? 0 : record.Lines[0],
                           "unreadable: " + Shown(e.substr(0, e.find("\r\n"))));
    }
    const TValues values(record, doc_);
    switch (kind) {
      case kField:
        ReadField(values);
        break;
      case kTask:
        ReadTask(values, record);
        break;
      case kResource:
        ReadResource(values, record);
        break;
      case kAssignment:
        ReadAssignment(values, record);
        break;
      case kCalendar:
        ReadCalendar(values, record);
        break;
      case kExtended:
        ReadDefinition(values);
        break;
      case kOther:
        break;
    }
  }

  TqorMspdiImport Finish();

 private:
  // A count that may not pass its limit.
  void Limit(size_t count, size_t limit, const char* what, const TqorMspdiRecord& record) {
    if (count < limit) return;
    throw EqorMspdiError(std::string(record.Name), record.Lines.empty() ? 0 : record.Lines[0],
                         "the file has more than " + std::to_string(limit) + " " + what +
                             ", more than this import takes");
  }

  void ReadField(const TValues& v) {
    const std::string& n = doc_.Name();
    const int64_t value = v.Integer(doc_);
    if (n == "MinutesPerDay") {
      if (value > 0 && value <= 1440) minutesPerDay_ = static_cast<int32_t>(value);
    } else if (n == "MinutesPerWeek") {
      if (value > 0 && value <= 7 * 1440) minutesPerWeek_ = static_cast<int32_t>(value);
    } else {
      hasProjectCalendar_ = true;
      projectCalendar_ = value;
    }
  }

  void ReadExtended(const TValues& v, const TNode& node, std::vector<TExtended>& to) {
    TExtended e;
    e.Line = v.Line(node);
    bool hasField = false;
    for (int i = 0; i < node.ChildCount(); ++i) {
      const TNode& c = *node.GetChild(i);
      if (c.Name() == "FieldID") {
        e.FieldId = v.Integer(c);
        hasField = true;
      } else if (c.Name() == "Value") {
        e.Value = TValues::Text(c);
      }
    }
    if (hasField) to.push_back(std::move(e));
  }

  void ReadDefinition(const TValues& v) {
    int64_t id = 0;
    bool hasId = false;
    std::string alias;
    for (int i = 0; i < doc_.ChildCount(); ++i) {
      const TNode& c = *doc_.GetChild(i);
      if (c.Name() == "FieldID") {
        id = v.Integer(c);
        hasId = true;
      } else if (c.Name() == "Alias") {
        alias = TValues::Text(c);
      }
    }
    const TqorMspdiField field = MspdiFieldOfAlias(alias);
    if (hasId && field != TqorMspdiField::None) fieldOf_[id] = field;
  }

  void ReadLink(const TValues& v, const TNode& node, TRawTask& task,
                const TqorMspdiRecord& record) {
    Limit(links_, kMspdiMaxLinks, "links", record);
    ++links_;
    TRawLink link;
    for (int i = 0; i < node.ChildCount(); ++i) {
      const TNode& c = *node.GetChild(i);
      const std::string& n = c.Name();
      if (n == "PredecessorUID") {
        link.PredecessorUid = v.Integer(c);
        link.HasPredecessor = true;
      } else if (n == "Type") {
        link.Type = v.Integer(c);
        link.HasType = true;
      } else if (n == "CrossProject") {
        link.CrossProject = v.Flag(c);
      } else if (n == "LinkLag") {
        link.Lag = v.Decimal(c);
      } else if (n == "LagFormat") {
        link.LagFormat = v.Integer(c);
      }
    }
    task.Links.push_back(link);
  }

  void ReadTask(const TValues& v, const TqorMspdiRecord& record) {
    Limit(tasks_.size(), kMspdiMaxTasks, "tasks", record);
    TRawTask t;
    t.Line = record.Lines.front();
    int32_t minutes = 0;
    const TNode* start = nullptr;
    const TNode* finish = nullptr;
    for (int i = 0; i < doc_.ChildCount(); ++i) {
      const TNode& c = *doc_.GetChild(i);
      const std::string& n = c.Name();
      if (n == "UID") {
        t.Uid = v.Integer(c);
        t.HasUid = true;
      } else if (n == "Name") {
        t.Name = TValues::Text(c);
      } else if (n == "OutlineNumber") {
        t.OutlineNumber = TValues::Text(c);
        t.HasOutlineNumber = true;
      } else if (n == "OutlineLevel") {
        t.OutlineLevel = v.Integer(c);
      } else if (n == "Start") {
        v.DateTime(c, t.Start, minutes);
        t.HasStart = true;
        start = &c;
      } else if (n == "Finish") {
        v.DateTime(c, t.Finish, minutes);
        t.HasFinish = true;
        finish = &c;
      } else if (n == "Summary") {
        t.Summary = v.Flag(c);
      } else if (n == "Milestone") {
        t.Milestone = v.Flag(c);
      } else if (n == "IsNull") {
        t.IsNull = v.Flag(c);
      } else if (n == "PercentComplete") {
        t.Percent = v.Decimal(c);
        t.HasPercent = true;
      } else if (n == "Notes") {
        t.Notes = TValues::Text(c);
      } else if (n == "PredecessorLink") {
        ReadLink(v, c, t, record);
      } else if (n == "ExtendedAttribute") {
        ReadExtended(v, c, t.Extended);
      }
    }
    if (t.IsNull) {
      ++blankTasks_;
      return;
    }
    if (start && finish && t.Finish < t.Start)
      throw EqorMspdiError("Task", t.Line,
                           "Finish " + DateText(t.Finish) + " (line " +
                               std::to_string(v.Line(*finish)) + ") is before Start " +
                               DateText(t.Start) + " (task UID " + std::to_string(t.Uid) + " '" +
                               Shown(t.Name) + "')");
    if (t.HasUid) {
      const auto [at, added] = taskOfUid_.emplace(t.Uid, tasks_.size());
      if (!added)
        throw EqorMspdiError("Task", t.Line,
                             "UID " + std::to_string(t.Uid) + " is the UID of the task at line " +
                                 std::to_string(tasks_[at->second].Line) + " too");
    }
    tasks_.push_back(std::move(t));
  }

  void ReadResource(const TValues& v, const TqorMspdiRecord& record) {
    Limit(resources_.size(), kMspdiMaxResources, "resources", record);
    TRawResource r;
    r.Line = record.Lines.front();
    for (int i = 0; i < doc_.ChildCount(); ++i) {
      const TNode& c = *doc_.GetChild(i);
      const std::string& n = c.Name();
      if (n == "UID") {
        r.Uid = v.Integer(c);
        r.HasUid = true;
      } else if (n == "Name") {
        r.Name = TValues::Text(c);
      } else if (n == "Initials") {
        r.Initials = TValues::Text(c);
      } else if (n == "Type") {
        r.Type = v.Integer(c);
      } else if (n == "IsNull") {
        r.IsNull = v.Flag(c);
      } else if (n == "MaxUnits") {
        r.MaxUnits = v.Decimal(c, 2);
      } else if (n == "StandardRate") {
        r.Rate = v.Decimal(c);
      } else if (n == "CalendarUID") {
        r.CalendarUid = v.Integer(c);
        r.HasCalendar = true;
      } else if (n == "Notes") {
        r.Notes = TValues::Text(c);
      } else if (n == "ExtendedAttribute") {
        ReadExtended(v, c, r.Extended);
      }
    }
    // The placeholder MS Project writes for "no resource", and blank rows.
    if (r.IsNull || (r.HasUid && r.Uid == 0 && r.Name.empty())) return;
    if (r.HasUid) {
      const auto [at, added] = resourceOfUid_.emplace(r.Uid, resources_.size());
      if (!added)
        throw EqorMspdiError("Resource", r.Line,
                             "UID " + std::to_string(r.Uid) +
                                 " is the UID of the resource at line " +
                                 std::to_string(resources_[at->second].Line) + " too");
    }
    resources_.push_back(std::move(r));
  }

  void ReadAssignment(const TValues& v, const TqorMspdiRecord& record) {
    Limit(assignments_.size(), kMspdiMaxAssignments, "assignments", record);
    TRawAssignment a;
    for (int i = 0; i < doc_.ChildCount(); ++i) {
      const TNode& c = *doc_.GetChild(i);
      const std::string& n = c.Name();
      if (n == "TaskUID") {
        a.TaskUid = v.Integer(c);
        a.HasTask = true;
      } else if (n == "ResourceUID") {
        a.ResourceUid = v.Integer(c);
        a.HasResource = true;
      } else if (n == "Units") {
        a.Units = v.Decimal(c, 2);
      }
    }
    assignments_.push_back(a);
  }

  // The minutes of a WorkingTimes element.
  int32_t WorkingMinutes(const TValues& v, const TNode& times) {
    int32_t total = 0;
    for (int i = 0; i < times.ChildCount(); ++i) {
      const TNode& time = *times.GetChild(i);
      if (time.Name() != "WorkingTime") continue;
      int32_t from = -1, to = -1;
      for (int k = 0; k < time.ChildCount(); ++k) {
        const TNode& c = *time.GetChild(k);
        if (c.Name() == "FromTime") from = v.Time(c);
        if (c.Name() == "ToTime") to = v.Time(c);
      }
      if (from < 0 || to < 0) continue;
      if (to == 0) to = 1440;
      if (to > from) total += to - from;
    }
    return std::min(total, 1440);
  }

  // A calendar exception's TimePeriod: whole days, a ToDate at midnight after the FromDate's
  // day ending the day before.
  void Period(const TValues& v, const TNode& period, TException& e, const TNode& owner) {
    const TNode* fromNode = nullptr;
    const TNode* toNode = nullptr;
    int32_t fromMinutes = 0, toMinutes = 0;
    for (int i = 0; i < period.ChildCount(); ++i) {
      const TNode& c = *period.GetChild(i);
      if (c.Name() == "FromDate") {
        v.DateTime(c, e.From, fromMinutes);
        fromNode = &c;
      } else if (c.Name() == "ToDate") {
        v.DateTime(c, e.To, toMinutes);
        toNode = &c;
      }
    }
    if (!fromNode || !toNode) v.Fail(owner, "the exception's TimePeriod lacks FromDate or ToDate");
    if (toMinutes == 0 && e.To > e.From) {
      --e.To;
      toMinutes = 1440;
    }
    if (e.To < e.From)
      v.Fail(*toNode, "ToDate " + DateText(e.To) + " is before FromDate " + DateText(e.From));
    e.PartDay = fromMinutes != 0 || toMinutes < 23 * 60 + 59;
  }

  void ReadCalendar(const TValues& v, const TqorMspdiRecord& record) {
    Limit(calendars_.size(), kMspdiMaxCalendars, "calendars", record);
    TCalendar cal;
    bool hasUid = false;
    auto exception = [&](const TNode& owner) {
      Limit(exceptions_, kMspdiMaxExceptions, "calendar exceptions", record);
      ++exceptions_;
      TException e;
      bool hasPeriod = false;
      int64_t type = 1, period = 1;
      for (int i = 0; i < owner.ChildCount(); ++i) {
        const TNode& c = *owner.GetChild(i);
        const std::string& n = c.Name();
        if (n == "DayWorking") {
          e.Working = v.Flag(c);
        } else if (n == "TimePeriod") {
          Period(v, c, e, owner);
          hasPeriod = true;
        } else if (n == "Type") {
          type = v.Integer(c);
        } else if (n == "Period") {
          period = v.Integer(c);
        }
      }
      if (!hasPeriod) v.Fail(owner, "a calendar exception without a TimePeriod");
      e.Recurring = owner.Name() == "Exception" && (type != 1 || period > 1);
      return e;
    };
    for (int i = 0; i < doc_.ChildCount(); ++i) {
      const TNode& c = *doc_.GetChild(i);
      const std::string& n = c.Name();
      if (n == "UID") {
        cal.Uid = v.Integer(c);
        hasUid = true;
      } else if (n == "BaseCalendarUID") {
        cal.BaseUid = v.Integer(c);
        cal.HasBase = cal.BaseUid >= 0;
      } else if (n == "WeekDays") {
        for (int k = 0; k < c.ChildCount(); ++k) {
          const TNode& day = *c.GetChild(k);
          if (day.Name() != "WeekDay") continue;
          int64_t type = -1;
          bool working = false;
          const TNode* times = nullptr;
          for (int j = 0; j < day.ChildCount(); ++j) {
            const TNode& f = *day.GetChild(j);
            if (f.Name() == "DayType") type = v.Integer(f);
            if (f.Name() == "DayWorking") working = v.Flag(f);
            if (f.Name() == "WorkingTimes") times = &f;
          }
          if (type == 0) {
            cal.DayTypeZero.push_back(exception(day));
          } else if (type >= 1 && type <= 7) {
            cal.Week[static_cast<size_t>(type - 1)] = !working ? 0
                                                      : times  ? WorkingMinutes(v, *times)
                                                               : kDefaultTimes;
          }
        }
      } else if (n == "Exceptions") {
        cal.HasExceptions = true;
        for (int k = 0; k < c.ChildCount(); ++k)
          if (c.GetChild(k)->Name() == "Exception")
            cal.Exceptions.push_back(exception(*c.GetChild(k)));
      } else if (n == "WorkWeeks") {
        for (int k = 0; k < c.ChildCount(); ++k)
          if (c.GetChild(k)->Name() == "WorkWeek") ++workWeeks_;
      }
    }
    if (!hasUid) return;
    if (!calendarOfUid_.emplace(cal.Uid, calendars_.size()).second)
      throw EqorMspdiError(
          "Calendar", record.Lines.front(),
          "UID " + std::to_string(cal.Uid) + " is the UID of another calendar too");
    calendars_.push_back(std::move(cal));
  }

  const TExtended* Extended(const std::vector<TExtended>& list, TqorMspdiField field) const {
    for (const TExtended& e : list) {
      const auto f = fieldOf_.find(e.FieldId);
      if (f != fieldOf_.end() && f->second == field) return &e;
    }
    return nullptr;
  }
  bool ExtendedNumber(const std::vector<TExtended>& list, TqorMspdiField field,
                      double& value) const {
    const TExtended* e = Extended(list, field);
    if (!e) return false;
    if (!TryParseMspdiDecimal(e->Value, 0, value))
      throw EqorMspdiError("ExtendedAttribute", e->Line,
                           "the " + std::string(MspdiFieldInfo(field).Alias) + " '" +
                               Shown(e->Value) + "' is not a number");
    return true;
  }
  bool ExtendedFlag(const std::vector<TExtended>& list, TqorMspdiField field, bool& value) const {
    const TExtended* e = Extended(list, field);
    if (!e) return false;
    if (!TryParseMspdiFlag(e->Value, value))
      throw EqorMspdiError("ExtendedAttribute", e->Line,
                           "the " + std::string(MspdiFieldInfo(field).Alias) + " '" +
                               Shown(e->Value) + "' is not 0 or 1");
    return true;
  }

  const TCalendar* Calendar(int64_t uid) const {
    const auto c = calendarOfUid_.find(uid);
    return c == calendarOfUid_.end() ? nullptr : &calendars_[c->second];
  }
  // The calendar and those it is based on, in that order, each once.
  std::vector<const TCalendar*> Chain(int64_t uid) const {
    std::vector<const TCalendar*> chain;
    for (const TCalendar* c = Calendar(uid); c && chain.size() < 64;
         c = c->HasBase ? Calendar(c->BaseUid) : nullptr) {
      if (std::find(chain.begin(), chain.end(), c) != chain.end()) break;
      chain.push_back(c);
    }
    return chain;
  }
  // The working minutes of each day of a calendar's week (Sunday first).
  std::array<int32_t, 7> Week(int64_t uid) const {
    std::array<int32_t, 7> week{};
    const std::vector<const TCalendar*> chain = Chain(uid);
    for (size_t d = 0; d < 7; ++d) {
      int32_t minutes = kUnknownDay;
      for (const TCalendar* c : chain) {
        if (c->Week[d] != kUnknownDay) {
          minutes = c->Week[d];
          break;
        }
      }
      if (minutes == kUnknownDay) minutes = d == 0 || d == 6 ? 0 : kDefaultTimes;
      week[d] = minutes == kDefaultTimes ? minutesPerDay_ : minutes;
    }
    return week;
  }
  static const std::vector<TException>& ExceptionsOf(const TCalendar& c) {
    return c.HasExceptions ? c.Exceptions : c.DayTypeZero;
  }

  std::string name_, projectName_;
  TqorXMLParser2 doc_;
  int32_t minutesPerDay_ = 480;
  int32_t minutesPerWeek_ = 0;
  bool hasProjectCalendar_ = false;
  int64_t projectCalendar_ = 0;
  std::unordered_map<int64_t, TqorMspdiField> fieldOf_;
  std::vector<TRawTask> tasks_;
  std::unordered_map<int64_t, size_t> taskOfUid_;
  std::vector<TRawResource> resources_;
  std::unordered_map<int64_t, size_t> resourceOfUid_;
  std::vector<TRawAssignment> assignments_;
  std::vector<TCalendar> calendars_;
  std::unordered_map<int64_t, size_t> calendarOfUid_;
  size_t links_ = 0, exceptions_ = 0;
  size_t blankTasks_ = 0, workWeeks_ = 0;
  std::map<std::string, size_t> notRead_;
};

// The level of a task from its outline number ("1.2.3": 3) or level; 0 for the project summary
// task.
int64_t LevelOf(const TRawTask& t) {
  if (t.HasOutlineNumber) {
    const std::string_view s = t.OutlineNumber;
    bool digits = !s.empty();
    int64_t parts = 1;
    for (size_t i = 0; i < s.size() && digits; ++i) {
      if (s[i] == '.') {
        ++parts;
        digits = i > 0 && i + 1 < s.size() && s[i + 1] != '.';
      } else {
        digits = s[i] >= '0' && s[i] <= '9';
      }
    }
    if (digits) return s == "0" ? 0 : parts;
  }
  if (t.OutlineLevel == 0) return t.HasUid && t.Uid == 0 ? 0 : 1;
  return t.OutlineLevel > 0 ? t.OutlineLevel : 1;
}

TqorMspdiImport TImport::Finish() {
  TqorMspdiImport result;
  TqorExchangePlan& plan = result.Plan;
  std::vector<std::string>& summary = result.Summary;
  plan.Name = name_;
  TqorWorkCalendar workDays;

  // The outline: each task's parent, and whether tasks are below it.
  const size_t n = tasks_.size();
  std::vector<int64_t> level(n, 0);
  std::vector<size_t> parent(n, SIZE_MAX);
  std::vector<bool> hasTasks(n, false);
  std::vector<size_t> path;
  for (size_t i = 0; i < n; ++i) {
    int64_t l = LevelOf(tasks_[i]);
    if (l > kMspdiMaxOutlineLevel)
      throw EqorMspdiError("Task", tasks_[i].Line,
                           "outline level " + std::to_string(l) + " is deeper than " +
                               std::to_string(kMspdiMaxOutlineLevel));
    level[i] = l;
    if (l == 0) continue;
    l = std::min<int64_t>(l, static_cast<int64_t>(path.size()) + 1);
    level[i] = l;
    path.resize(static_cast<size_t>(l - 1));
    if (!path.empty()) {
      parent[i] = path.back();
      hasTasks[path.back()] = true;
    }
    path.push_back(i);
  }

  // Projects and tasks. For each task of the file: the plan's task id, or 0.
  std::vector<int32_t> taskId(n, 0);
  std::vector<size_t> projectOf(n, SIZE_MAX);  // a project's row, for projects and tasks
  // Each project's summary task (SIZE_MAX for the file's own project).
  std::vector<size_t> projectTask;
  size_t fileProject = SIZE_MAX, flattened = 0, summaries = 0, intoFileProject = 0;
  std::vector<std::string> prefix(n);  // a summary task's path, for the names below it
  constexpr size_t kMaxPrefix = 4096;
  size_t shortened = 0;
  for (size_t i = 0; i < n; ++i) {
    TRawTask& t = tasks_[i];
    if (level[i] == 0) continue;
    if (level[i] == 1) {
      if (hasTasks[i] || t.Summary) {
        projectOf[i] = projectTask.size();
        projectTask.push_back(i);
        continue;
      }
      if (fileProject == SIZE_MAX) {
        fileProject = projectTask.size();
        projectTask.push_back(SIZE_MAX);
      }
      projectOf[i] = fileProject;
      ++intoFileProject;
    } else {
      const size_t up = parent[i];
      projectOf[i] = projectOf[up];
      if (hasTasks[i]) {
        ++summaries;
        std::string& p = prefix[i];
        p = prefix[up] + t.Name;
        if (p.size() > kMaxPrefix) {
          p.resize(Utf8Boundary(p, kMaxPrefix));
          p += "...";
          ++shortened;
        }
        p += " / ";
        continue;
      }
      if (level[i] > 2) ++flattened;
      t.Name = prefix[up] + t.Name;
    }
    if (!t.HasStart && !t.HasFinish)
      throw EqorMspdiError("Task", t.Line,
                           "the task (UID " + std::to_string(t.Uid) + " '" + Shown(t.Name) +
                               "') has neither Start nor Finish");
    if (!t.HasStart) t.Start = t.Finish;
    if (!t.HasFinish) t.Finish = t.Start;
    TqorExchangeTask task;
    task.Id = static_cast<int32_t>(plan.Tasks.size()) + 1;
    task.ProjectId = static_cast<int32_t>(projectOf[i]) + 1;
    task.Name = std::move(t.Name);
    task.Start = t.Start;
    task.End = t.Finish;
    task.Milestone = t.Milestone;
    const double percent = t.HasPercent ? std::clamp(t.Percent, 0.0, 100.0) : 0;
    if (!ExtendedNumber(t.Extended, TqorMspdiField::Progress, task.Progress))
      task.Progress = percent;
    if (!ExtendedFlag(t.Extended, TqorMspdiField::Completed, task.Completed))
      task.Completed = percent >= 100;
    task.Notes = std::move(t.Notes);
    taskId[i] = task.Id;
    plan.Tasks.push_back(std::move(task));
  }
  std::vector<std::pair<int32_t, int32_t>> spans(projectTask.size(), {INT32_MAX, INT32_MIN});
  for (const TqorExchangeTask& t : plan.Tasks) {
    auto& s = spans[static_cast<size_t>(t.ProjectId - 1)];
    s.first = std::min(s.first, t.Start);
    s.second = std::max(s.second, t.End);
  }
  for (size_t p = 0; p < projectTask.size(); ++p) {
    TqorExchangeProject project;
    project.Id = static_cast<int32_t>(p) + 1;
    const auto [first, last] = spans[p];
    if (projectTask[p] == SIZE_MAX) {
      project.Name = projectName_;
      project.Start = first;
      project.End = last;
      plan.Projects.push_back(std::move(project));
      continue;
    }
    TRawTask& t = tasks_[projectTask[p]];
    project.Name = std::move(t.Name);
    if (t.HasStart || t.HasFinish) {
      project.Start = t.HasStart ? t.Start : t.Finish;
      project.End = t.HasFinish ? t.Finish : t.Start;
    } else if (first <= last) {
      project.Start = first;
      project.End = last;
    } else {
      throw EqorMspdiError("Task", t.Line,
                           "the summary task (UID " + std::to_string(t.Uid) + " '" +
                               Shown(project.Name) + "') has neither dates nor tasks");
    }
    const TExtended* tag = Extended(t.Extended, TqorMspdiField::Tag);
    if (tag) project.Tag = tag->Value;
    ExtendedNumber(t.Extended, TqorMspdiField::BudgetHours, project.BudgetHours);
    ExtendedNumber(t.Extended, TqorMspdiField::ActualHours, project.ActualHours);
    ExtendedNumber(t.Extended, TqorMspdiField::BudgetCost, project.BudgetCost);
    ExtendedNumber(t.Extended, TqorMspdiField::ActualCost, project.ActualCost);
    if (!ExtendedFlag(t.Extended, TqorMspdiField::Completed, project.Completed))
      project.Completed = t.HasPercent && t.Percent >= 100;
    project.Notes = std::move(t.Notes);
    plan.Projects.push_back(std::move(project));
  }

  // Resources, their hours and their holidays.
  const TCalendar* projectCalendar = hasProjectCalendar_ ? Calendar(projectCalendar_) : nullptr;
  size_t otherKinds = 0, partDays = 0, workingExceptions = 0, recurring = 0, feastCopies = 0;
  for (size_t r = 0; r < resources_.size(); ++r) {
    TRawResource& raw = resources_[r];
    TqorExchangeResource resource;
    resource.Id = static_cast<int32_t>(r) + 1;
    resource.Name = std::move(raw.Name);
    resource.Initials = std::move(raw.Initials);
    resource.CostPerHour = raw.Rate;
    resource.MaxUnits = raw.MaxUnits;
    resource.Notes = std::move(raw.Notes);
    if (raw.Type != 1) ++otherKinds;
    const TExtended* hours = Extended(raw.Extended, TqorMspdiField::HoursPerWeek);
    if (hours && !TryParseMspdiDecimal(hours->Value, 0, resource.HoursPerWeek))
      throw EqorMspdiError("ExtendedAttribute", hours->Line,
                           "the hours per week '" + Shown(hours->Value) + "' are not a number");
    if (!hours) {
      if (raw.HasCalendar && Calendar(raw.CalendarUid)) {
        int32_t minutes = 0;
        for (int32_t m : Week(raw.CalendarUid)) minutes += m;
        resource.HoursPerWeek = minutes / 60.0;
      } else {
        resource.HoursPerWeek = minutesPerWeek_ > 0 ? minutesPerWeek_ / 60.0 : 40;
      }
    }
    if (raw.HasCalendar) {
      std::vector<const TCalendar*> chain = Chain(raw.CalendarUid);
      const auto own = std::find(chain.begin(), chain.end(), projectCalendar);
      const bool standalone = own == chain.end();
      chain.erase(own, chain.end());
      for (const TCalendar* c : chain) {
        for (const TException& e : ExceptionsOf(*c)) {
          if (e.Recurring) {
            ++recurring;
          } else if (e.Working) {
            ++workingExceptions;
          } else if (standalone && workDays.WorkingDays(e.From, e.To) == 0) {
            ++feastCopies;
          } else {
            if (e.PartDay) ++partDays;
            plan.Holidays.push_back(
                {static_cast<int32_t>(plan.Holidays.size()) + 1, resource.Id, e.From, e.To});
          }
        }
      }
    }
    plan.Resources.push_back(std::move(resource));
  }
  bool otherWeek = false;
  int64_t daysOff = 0;
  if (projectCalendar) {
    const std::array<int32_t, 7> week = Week(projectCalendar->Uid);
    for (size_t d = 0; d < 7; ++d) otherWeek |= (week[d] > 0) != (d >= 1 && d <= 5);
    for (const TException& e : ExceptionsOf(*projectCalendar)) {
      if (e.Recurring)
        ++recurring;
      else if (e.Working)
        ++workingExceptions;
      else
        daysOff += workDays.WorkingDays(e.From, e.To);
    }
  }

  // Assignments.
  size_t toOutside = 0, noResource = 0, toSummaries = 0;
  for (const TRawAssignment& a : assignments_) {
    const auto t = a.HasTask ? taskOfUid_.find(a.TaskUid) : taskOfUid_.end();
    const auto r = a.HasResource ? resourceOfUid_.find(a.ResourceUid) : resourceOfUid_.end();
    if (t == taskOfUid_.end()) {
      ++toOutside;
    } else if (r == resourceOfUid_.end()) {
      ++noResource;
    } else if (taskId[t->second] == 0) {
      ++toSummaries;
    } else {
      plan.Assignments.push_back({static_cast<int32_t>(plan.Assignments.size()) + 1,
                                  taskId[t->second], static_cast<int32_t>(r->second) + 1, a.Units});
    }
  }

  // Links, first as the file gives them, then without those that close a cycle.
  size_t outside = 0, summaryLinks = 0, selfLinks = 0, duplicates = 0, rounded = 0, elapsed = 0,
         percent = 0, unknownType = 0, tooLong = 0;
  constexpr double kMaxLag = 100000;
  std::vector<TqorExchangeLink> links;
  std::unordered_set<uint64_t> pairs;
  for (size_t i = 0; i < n; ++i) {
    for (const TRawLink& l : tasks_[i].Links) {
      const auto p = l.HasPredecessor && !l.CrossProject ? taskOfUid_.find(l.PredecessorUid)
                                                         : taskOfUid_.end();
      if (p == taskOfUid_.end()) {
        ++outside;
        continue;
      }
      const int32_t from = taskId[p->second], to = taskId[i];
      if (from == 0 || to == 0) {
        ++summaryLinks;
        continue;
      }
      if (from == to) {
        ++selfLinks;
        continue;
      }
      TqorLinkType type = TqorLinkType::FS;
      if (l.HasType && !TryMspdiLinkType(l.Type, type)) ++unknownType;
      double days = 0;
      switch (MspdiLagKind(l.LagFormat)) {
        case TqorMspdiLagKind::Working:
          days = l.Lag / (10.0 * minutesPerDay_);
          break;
        case TqorMspdiLagKind::Elapsed:
          days = l.Lag / (10.0 * 1440) * 5 / 7;
          if (l.Lag != 0) ++elapsed;
          break;
        case TqorMspdiLagKind::Percent:
          if (l.Lag != 0) ++percent;
          break;
      }
      if (!(std::fabs(days) <= kMaxLag)) {
        ++tooLong;
        continue;
      }
      const double whole = std::round(days);
      if (whole != days) ++rounded;
      const uint64_t key =
          (static_cast<uint64_t>(static_cast<uint32_t>(from)) << 32) | static_cast<uint32_t>(to);
      if (!pairs.insert(key).second) {
        ++duplicates;
        continue;
      }
      links.push_back({0, from, to, type, static_cast<int32_t>(whole)});
    }
  }
  // Depth first from each task in file order; a link to a task on the path closes a cycle.
  std::vector<std::vector<size_t>> out(plan.Tasks.size() + 1);
  for (size_t l = 0; l < links.size(); ++l)
    out[static_cast<size_t>(links[l].PredecessorId)].push_back(l);
  std::vector<uint8_t> state(out.size(), 0);  // 0 not seen, 1 on the path, 2 done
  std::vector<bool> closes(links.size(), false);
  std::vector<std::pair<size_t, size_t>> walk;  // task, next of its links
  for (size_t root = 1; root < out.size(); ++root) {
    if (state[root] != 0) continue;
    state[root] = 1;
    walk.push_back({root, 0});
    while (!walk.empty()) {
      auto& [task, next] = walk.back();
      if (next == out[task].size()) {
        state[task] = 2;
        walk.pop_back();
        continue;
      }
      const size_t l = out[task][next++];
      const auto to = static_cast<size_t>(links[l].SuccessorId);
      if (state[to] == 1) {
        closes[l] = true;
      } else if (state[to] == 0) {
        state[to] = 1;
        walk.push_back({to, 0});
      }
    }
  }
  size_t cycles = 0;
  std::string firstCycle;
  for (size_t l = 0; l < links.size(); ++l) {
    if (closes[l]) {
      if (cycles++ == 0)
        firstCycle = "'" + Shown(plan.Tasks[static_cast<size_t>(links[l].SuccessorId - 1)].Name) +
                     "' after '" +
                     Shown(plan.Tasks[static_cast<size_t>(links[l].PredecessorId - 1)].Name) + "'";
      continue;
    }
    links[l].Id = static_cast<int32_t>(plan.Links.size()) + 1;
    plan.Links.push_back(links[l]);
  }

  // What was lost, in a fixed order.
  auto line = [&](size_t count, std::string_view one, std::string_view many,
                  const std::string& tail = "") {
    if (count > 0) summary.push_back(Count(count, one, many) + tail);
  };
  line(flattened, "task below level 2 flattened into its level-1 project",
       "tasks below level 2 flattened into their level-1 project");
  line(summaries, "summary task below level 1 left out (its name is kept in its tasks' names)",
       "summary tasks below level 1 left out (their names are kept in their tasks' names)");
  line(shortened, "summary task name cut to 4096 bytes in the names below it",
       "summary task names cut to 4096 bytes in the names below them");
  line(intoFileProject, "task outside any summary task put into the project '",
       "tasks outside any summary task put into the project '", Shown(projectName_) + "'");
  line(blankTasks_, "blank task row left out", "blank task rows left out");
  line(outside, "link to a task outside the file ignored",
       "links to tasks outside the file ignored");
  line(summaryLinks, "link to or from a summary task ignored",
       "links to or from summary tasks ignored");
  line(selfLinks, "link of a task to itself ignored", "links of a task to itself ignored");
  line(duplicates, "second link between the same two tasks ignored",
       "second links between the same two tasks ignored");
  line(cycles, "link that would close a cycle ignored (",
       "links that would close a cycle ignored (", "first: " + firstCycle + ")");
  line(unknownType, "link of an unknown type read as finish-to-start",
       "links of an unknown type read as finish-to-start");
  line(rounded, "link lag that was not whole working days rounded",
       "link lags that were not whole working days rounded");
  line(elapsed, "link lag in elapsed time read as 5 working days a week",
       "link lags in elapsed time read as 5 working days a week");
  line(percent, "link lag in percent of the predecessor's duration left out",
       "link lags in percent of the predecessor's duration left out");
  line(tooLong, "link with a lag beyond 100,000 working days ignored",
       "links with a lag beyond 100,000 working days ignored");
  line(toOutside, "assignment to a task outside the file ignored",
       "assignments to tasks outside the file ignored");
  line(noResource, "assignment without a resource of the file ignored",
       "assignments without a resource of the file ignored");
  line(toSummaries, "assignment to a summary task ignored", "assignments to summary tasks ignored");
  line(otherKinds, "material or cost resource imported as a work resource",
       "material or cost resources imported as work resources");
  line(partDays, "calendar exception with part-day times read as whole days",
       "calendar exceptions with part-day times read as whole days");
  line(feastCopies, "day off in a resource calendar that the plan does not work anyway left out",
       "days off in resource calendars that the plan does not work anyway left out");
  line(workingExceptions, "calendar exception that makes days working ignored",
       "calendar exceptions that make days working ignored");
  line(recurring, "recurring calendar exception ignored", "recurring calendar exceptions ignored");
  line(workWeeks_, "work week of a calendar (a period with other working times) ignored",
       "work weeks of calendars (periods with other working times) ignored");
  if (otherWeek)
    summary.push_back(
        "the project calendar's working week is not Monday to Friday: the plan's own applies");
  line(static_cast<size_t>(daysOff), "working day off in the project calendar ignored (",
       "working days off in the project calendar ignored (", "the plan keeps its own feasts)");
  size_t others = 0;
  std::string where;
  for (const auto& [container, count] : notRead_) {
    others += count;
    where += (where.empty() ? "" : ", ") + Shown(container);
  }
  line(others, "element not read (in ", "elements not read (in ", where + ")");
  return result;
}

}  // namespace

TqorMspdiImport ImportMspdi(std::string_view bytes, const std::string& fileName) {
  std::string converted;
  const std::string_view text = TextOfBytes(bytes, converted);
  TImport import(fileName);
  TqorMspdiScanner scanner(text);
  scanner.Scan([&](const TqorMspdiRecord& record) { import.Record(record); });
  return import.Finish();
}
