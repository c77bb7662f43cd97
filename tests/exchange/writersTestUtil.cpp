#include "tests/exchange/writersTestUtil.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/schedule/qorSchedule.h"
#include "tests/testFiles.h"

namespace writers_test {

TTempDir::TTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/vz_writers_XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
  path_ = pattern;
}

TTempDir::~TTempDir() {
  RemoveTestFolder(path_);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TCommandResult RunCommand(const std::string& command) {
  TCommandResult result;
  FILE* pipe = popen((command + " 2>&1 </dev/null").c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.Output.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

namespace {

void Missing(const std::string& what) {
  if (std::getenv("VAZADOD_CI"))
    ADD_FAILURE() << what << " is not installed (scripts/install-deps.sh installs it)";
}

}  // namespace

bool HaveProgram(const std::string& program) {
  if (RunCommand("command -v " + program + " >/dev/null").Status == 0) return true;
  Missing(program);
  return false;
}

std::string PythonWith(const std::string& module) {
  const std::string check = module.empty() ? "pass" : "import " + module;
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    if (RunCommand(std::string(python) + " -c '" + check + "'").Status == 0) return python;
  }
  Missing(module.empty() ? "python3" : "python3 with the " + module + " module");
  return {};
}

namespace {

const char* const kICalendarReader = R"(import datetime, re, sys
import icalendar
path, kind = sys.argv[1], sys.argv[2]
raw = open(path, 'rb').read()
def hx(s): return 'x' + s.encode('utf-8').hex()
keys = ('UID', 'SUMMARY', 'DESCRIPTION', 'DTSTART', 'DTEND', 'TRANSP', 'CATEGORIES', 'DTSTAMP')
def when(dt):
    return dt.isoformat() if isinstance(dt, datetime.datetime) else 'DATE:' + dt.isoformat()
for e in icalendar.Calendar.from_ical(raw).walk(kind):
    item = {k: str(e[k]) for k in keys[:3] + keys[5:6] if k in e}
    for k in ('DTSTART', 'DTEND', 'DTSTAMP'):
        if k in e: item[k] = when(e[k].dt)
    if 'CATEGORIES' in e:
        cats = e['CATEGORIES'] if isinstance(e['CATEGORIES'], list) else [e['CATEGORIES']]
        item['CATEGORIES'] = '\x1f'.join(str(c) for v in cats for c in v.cats)
    print('module 0', ' '.join(hx(item.get(k, '')) for k in keys))
def text(v):
    return re.sub(r'\\(.)', lambda m: '\n' if m.group(1) in 'nN' else m.group(1), v, flags=re.S)
def items(v):
    out, cur, esc = [], '', False
    for ch in v:
        if esc: cur, esc = cur + '\\' + ch, False
        elif ch == '\\': esc = True
        elif ch == ',': out, cur = out + [text(cur)], ''
        else: cur += ch
    return out + [text(cur)]
item = None
for line in re.sub(r'\r\n[ \t]', '', raw.decode('utf-8')).split('\r\n'):
    head, colon, value = line.partition(':')
    name, *params = head.split(';')
    if not colon: continue
    if name == 'BEGIN' and value == kind: item, repeated = {}, 0
    elif name == 'END' and value == kind:
        print('lines', repeated, ' '.join(hx(item.get(k, '')) for k in keys))
        item = None
    elif item is not None:
        if name in item: repeated += 1
        if name in ('DTSTART', 'DTEND'):
            date = 'VALUE=DATE' in params and re.fullmatch(r'\d{8}', value)
            item[name] = ('DATE:%s-%s-%s' % (value[:4], value[4:6], value[6:])) if date else value
        elif name == 'CATEGORIES': item[name] = '\x1f'.join(items(value))
        else: item[name] = text(value)
)";

}  // namespace

TICalendarReading ReadICalendar(const std::string& python, const std::string& path,
                                const std::string& component) {
  TTempDir dir;
  WriteFile(dir / "read.py", kICalendarReader);
  const TCommandResult read =
      RunCommand(python + " " + (dir / "read.py") + " " + path + " " + component);
  EXPECT_EQ(read.Status, 0) << read.Output;
  TICalendarReading reading;
  std::istringstream lines(read.Output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string kind;
    TICalendarItem item;
    std::string fields[8];
    words >> kind >> item.Repeated;
    for (std::string& field : fields) {
      words >> field;
      field = Unhex(field.substr(std::min<size_t>(1, field.size())));
    }
    item.Uid = fields[0];
    item.Summary = fields[1];
    item.Description = fields[2];
    item.Start = fields[3];
    item.End = fields[4];
    item.Transp = fields[5];
    item.Stamp = fields[7];
    for (size_t at = 0; !fields[6].empty() && at <= fields[6].size();) {
      const size_t next = std::min(fields[6].find('\x1f', at), fields[6].size());
      item.Categories.push_back(fields[6].substr(at, next - at));
      at = next + 1;
    }
    if (kind == "module")
      reading.Module.push_back(item);
    else if (kind == "lines")
      reading.Lines.push_back(item);
    else
      ADD_FAILURE() << "the reader said: " << line;
  }
  EXPECT_EQ(reading.Module.size(), reading.Lines.size())
      << "the module's reader finds another number of " << component << " in " << path;
  return reading;
}

uint64_t EnvNumber(const char* name, uint64_t byDefault) {
  const char* value = std::getenv(name);
  if (!value || !*value) return byDefault;
  char* end = nullptr;
  const unsigned long long number = std::strtoull(value, &end, 10);
  return *end ? byDefault : number;
}

std::string RandomText(std::mt19937_64& random) {
  static const char* const kPieces[] = {
      "Walls",    "roof",       " ",    ",",          ";",        "\"",     "\"\"",  "'",
      "\\",       "\\n",        "\n",   "\r\n",       "\r",       "\t",     "=1+2",  "+44 1",
      "-3",       "@SUM(1)",    "${x}", "$",          "{",        "}",      "#",     "//",
      "ä",        "Łukasz",     "€",    "日本語",     "😀",        "\u00A0", "0012",  "12.5",
      "1e5",      "2024-01-01", "  ",   "a  b",       "é\r\nü",   "->8-",   "[[x]]", "''y''",
      "<nowiki>", "x,y,z",      ":",    "END:VEVENT", "\xC3\xA9", "ß",      "Ω",     "x"};
  std::uniform_int_distribution<int> kind(0, 9);
  const int k = kind(random);
  if (k == 0) return {};
  if (k == 1) return "Task " + std::to_string(random() % 1000);
  std::string text;
  const int pieces = 1 + static_cast<int>(random() % 6);
  for (int i = 0; i < pieces; ++i) text += kPieces[random() % std::size(kPieces)];
  if (random() % 8 == 0) text += std::string(60 + random() % 60, 'w');  // longer than a line
  return text;
}

namespace {

// A day near one of the feasts of a random year (tj3 takes the years 1970 to 2035).
int32_t RandomDay(std::mt19937_64& random) {
  const int year = 1971 + static_cast<int>(random() % 63);
  int32_t anchor = 0;
  switch (random() % 3) {
    case 0:
      anchor = static_cast<int32_t>(EasterSunday(year));
      break;
    case 1:
      anchor = static_cast<int32_t>(EncodeDate(year, 12, 24));
      break;
    default:
      anchor = static_cast<int32_t>(EncodeDate(year, 5, 10));  // Ascension or Whit Monday near
  }
  return anchor + static_cast<int32_t>(random() % 41) - 20;
}

}  // namespace

TqorExchangePlan RandomPlan(std::mt19937_64& random, const TPlanShape& shape) {
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  TqorExchangePlan plan;
  plan.Name = RandomText(random);
  const int projects = pick(0, 3);
  for (int i = 0; i < projects; ++i) {
    TqorExchangeProject project;
    project.Id = 10 + i * 3;
    project.Name = RandomText(random);
    project.Notes = RandomText(random);
    plan.Projects.push_back(project);
  }
  // The tasks of one plan lie within a few weeks of one another, so that links join them.
  const int32_t base = RandomDay(random);
  for (int i = 0; i < shape.Tasks; ++i) {
    TqorExchangeTask task;
    task.Id = 100 + i * 7;
    task.ProjectId = projects > 0 && pick(0, 5) > 0 ? plan.Projects[pick(0, projects - 1)].Id
                                                    : pick(0, 1) * 999;  // none, or unknown
    task.Name = RandomText(random);
    task.Notes = RandomText(random);
    task.Start = base + pick(-10, 30);
    if (pick(0, 6) == 0) {
      task.Milestone = true;
      task.End = task.Start;
    } else {
      task.End = task.Start + pick(0, 11) - (pick(0, 20) == 0 ? 3 : 0);  // now and then End < Start
    }
    task.Completed = pick(0, 5) == 0;
    task.Progress = task.Completed ? 100 : pick(0, 4) * 25 + (pick(0, 3) == 0 ? 0.5 : 0);
    plan.Tasks.push_back(task);
  }
  const int resources = pick(0, 4);
  for (int i = 0; i < resources; ++i) {
    TqorExchangeResource resource;
    resource.Id = 5 + i;
    resource.Name = RandomText(random);
    resource.Initials = RandomText(random);
    resource.Notes = RandomText(random);
    resource.HoursPerWeek = pick(0, 1) ? 40 : pick(0, 80) / 2.0;
    resource.CostPerHour = pick(0, 12000) / 100.0;
    resource.MaxUnits = pick(0, 2) ? 100 : pick(1, 200) / 2.0;
    plan.Resources.push_back(resource);
    for (int h = pick(0, 2); h > 0; --h) {
      TqorExchangeHoliday holiday;
      holiday.Id = static_cast<int32_t>(plan.Holidays.size()) + 1;
      holiday.ResourceId = resource.Id;
      holiday.Start = base + pick(-5, 35);
      holiday.End = holiday.Start + pick(-1, 6);
      plan.Holidays.push_back(holiday);
    }
  }
  if (resources > 0) {
    for (int a = pick(0, shape.Tasks); a > 0; --a) {
      TqorExchangeAssignment assignment;
      assignment.Id = static_cast<int32_t>(plan.Assignments.size()) + 1;
      assignment.TaskId = plan.Tasks[pick(0, shape.Tasks - 1)].Id;
      assignment.ResourceId = plan.Resources[pick(0, resources - 1)].Id;
      assignment.Units = pick(0, 1) ? 100 : pick(1, 400) / 4.0;
      plan.Assignments.push_back(assignment);
    }
  }
  // Links go forward in the task list, so that they form no cycle; those that would close one
  // or that the scheduler refuses otherwise are added on purpose when badLinks.
  const int links = shape.Tasks * shape.LinksPer100 / 100;
  for (int l = 0; l < links && shape.Tasks > 1; ++l) {
    const int p = pick(0, shape.Tasks - 2), s = pick(p + 1, std::min(shape.Tasks - 1, p + 6));
    TqorExchangeLink link;
    link.Id = 1000 + l;
    link.PredecessorId = plan.Tasks[p].Id;
    link.SuccessorId = plan.Tasks[s].Id;
    link.Type = static_cast<TqorLinkType>(pick(0, 3));
    link.Lag = pick(0, 2) == 0 ? 0 : pick(-4, 4) + (pick(0, 9) == 0 ? pick(-15, 15) : 0);
    plan.Links.push_back(link);
  }
  if (shape.BadLinks && shape.Tasks > 1) {
    const int32_t a = plan.Tasks[0].Id, b = plan.Tasks[1].Id;
    plan.Links.push_back({2000, b, a, TqorLinkType::FS, 0});       // a cycle when a -> b exists
    plan.Links.push_back({2001, a, a, TqorLinkType::SS, 1});       // a self link
    plan.Links.push_back({2002, a, 424242, TqorLinkType::FF, 0});  // an unknown task
  }
  return plan;
}

std::set<int32_t> Reschedule(TqorExchangePlan& plan) {
  TqorSchedule schedule;
  for (const TqorExchangeTask& task : plan.Tasks)
    schedule.AddTask({task.Id, task.Start, task.End, task.Completed});
  std::set<int32_t> placed;
  for (const TqorExchangeLink& link : plan.Links) {
    const TqorScheduleLink scheduleLink{link.PredecessorId, link.SuccessorId, link.Type, link.Lag};
    if (!schedule.CheckNewLink(scheduleLink).Ok()) continue;
    schedule.AddLink(scheduleLink);
    if (!schedule.FindTask(link.SuccessorId)->Completed) placed.insert(link.SuccessorId);
  }
  EXPECT_FALSE(schedule.RescheduleAll().Refused());
  for (TqorExchangeTask& task : plan.Tasks) {
    const TqorScheduleTask* dates = schedule.FindTask(task.Id);
    task.Start = dates->Start;
    task.End = dates->End;
  }
  return placed;
}

std::string IsoDay(int32_t day) {
  int year = 0, month = 0, dayOfMonth = 0;
  DecodeDate(day, year, month, dayOfMonth);
  return CFormat("%04d-%02d-%02d", year, month, dayOfMonth);
}

std::string WithLf(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      out += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string Hex(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::string Unhex(std::string_view hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return out;
}

}  // namespace writers_test
