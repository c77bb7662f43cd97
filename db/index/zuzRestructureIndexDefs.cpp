#include "db/index/zuzRestructureIndexDefs.h"

#include <algorithm>
#include <cctype>

#include "db/storage/zuzError.h"
#include "planner/base/qorStrings.h"

namespace zuz {

namespace {

constexpr const char* kObject = "TRestructureIndexDefs";
constexpr const char* kValidate = "TRestructureIndexDefs.ValidateNewIndexDefs";
std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) {
    if (!out.empty()) out += ';';
    out += n;
  }
  return out;
}

// What makes the keys of an index: its options and, per key field, the field, type and order.
std::string KeySignature(const TTableDef& def, const TInternalIndexDef& index) {
  std::string s = std::string(index.Unique ? "U" : "-") + (index.Primary ? "P" : "-");
  for (const auto& k : def.KeyFieldsOf(index.IndexName)) {
    s += '|' + FoldCase(k.FieldName) + ':' + std::to_string(static_cast<int>(k.DataType)) + ':' +
         std::to_string(k.FieldSize) + (k.Descending ? "D" : "A") +
         (k.CaseInsensitive ? "I" : "C") + (k.Hidden ? "H" : "");
  }
  return s;
}

}  // namespace

const char* IndexChangeStatusText(TIndexChangeStatus status) {
  switch (status) {
    case TIndexChangeStatus::Unchanged:
      return "Unchanged Item";
    case TIndexChangeStatus::DefinitionOnly:
      return "Definition Only Changed";
    case TIndexChangeStatus::New:
      return "New Item";
    case TIndexChangeStatus::Deleted:
      return "Deleted Item";
    case TIndexChangeStatus::DataRequirements:
      return "Data Requirements Changed";
    case TIndexChangeStatus::DataLossPossible:
      return "Data Loss Possible";
  }
  return "";
}

void TRestructureIndexDefs::ValidateNewIndexDefs(const TTableDef& def,
                                                 const std::vector<TIndexDesc>& indexes) {
  auto fail = [](const std::string& message) {
    ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, kValidate, message, kObject);
  };
  const auto primaries =
      std::count_if(indexes.begin(), indexes.end(), [](const TIndexDesc& d) { return d.Primary; });
  if (primaries > 1) fail("Only one primary index is permitted per table");
  for (const TIndexDesc& index : indexes) {
    const std::vector<std::string> fields = SplitNameList(index.Fields);
    if (fields.empty()) fail("Field not found: " + index.Fields);
    for (const std::string* list : {&index.Fields, &index.DescFields, &index.CaseInsFields}) {
      for (const std::string& name : SplitNameList(*list)) {
        if (def.FindField(name) < 0) {
          fail("The field '" + name + "' in index '" + index.Name +
               "' was not found in the table field definitions.");
        }
      }
    }
    int size = 0;
    for (const std::string& name : fields) {
      const TInternalFieldItem& f = def.InternalFields[static_cast<size_t>(def.FindField(name))];
      size += KeyCoreSize(f.DataType);
      if (f.DataType == TFieldType::ftString) size += f.FieldSize;
    }
    if (size > kMaxKeySize) {
      fail("The Index '" + index.Name + "' with fields '" + index.Fields +
           "' has exceeded the maximum key size of " + std::to_string(kMaxKeySize));
    }
    if (fields.size() > 32) {
      fail("The Index '" + index.Name + "' with fields '" + index.Fields +
           "' has exceeded the maximum key field count of 32");
    }
  }
}

std::vector<TIndexChange> TRestructureIndexDefs::ChangeStatuses(const TTableDef& oldDef,
                                                                const TTableDef& newDef) {
  const auto& olds = oldDef.InternalIndexDefs;
  const auto& news = newDef.InternalIndexDefs;
  std::vector<int> newOfOld(olds.size(), -1);
  std::vector<int> oldOfNew(news.size(), -1);
  for (std::size_t i = 0; i < olds.size(); ++i) {
    for (std::size_t j = 0; j < news.size(); ++j) {
      if (oldOfNew[j] < 0 && SameName(olds[i].IndexName, news[j].IndexName)) {
        newOfOld[i] = static_cast<int>(j);
        oldOfNew[j] = static_cast<int>(i);
        break;
      }
    }
  }
  // A new name for the very keys of an old index that lost its name is a rename.
  for (std::size_t j = 0; j < news.size(); ++j) {
    if (oldOfNew[j] >= 0) continue;
    for (std::size_t i = 0; i < olds.size(); ++i) {
      if (newOfOld[i] < 0 && !olds[i].Hidden && !news[j].Hidden &&
          KeySignature(oldDef, olds[i]) == KeySignature(newDef, news[j])) {
        newOfOld[i] = static_cast<int>(j);
        oldOfNew[j] = static_cast<int>(i);
        break;
      }
    }
  }
  std::vector<TIndexChange> out;
  for (std::size_t i = 0; i < olds.size(); ++i) {
    TIndexChange c;
    c.OldName = olds[i].IndexName;
    if (newOfOld[i] < 0) {
      c.Status = TIndexChangeStatus::Deleted;
    } else {
      const TInternalIndexDef& n = news[static_cast<size_t>(newOfOld[i])];
      c.NewName = n.IndexName;
      const bool sameKeys = KeySignature(oldDef, olds[i]) == KeySignature(newDef, n);
      const bool refuses = n.Unique || n.Primary;
      const bool refused = olds[i].Unique || olds[i].Primary;
      if (sameKeys) {
        c.Status = olds[i].IndexName == n.IndexName ? TIndexChangeStatus::Unchanged
                                                    : TIndexChangeStatus::DefinitionOnly;
      } else if (refuses && !refused) {
        c.Status = TIndexChangeStatus::DataLossPossible;
      } else {
        c.Status = TIndexChangeStatus::DataRequirements;
      }
    }
    out.push_back(std::move(c));
  }
  for (std::size_t j = 0; j < news.size(); ++j) {
    if (oldOfNew[j] >= 0) continue;
    TIndexChange c;
    c.NewName = news[j].IndexName;
    c.Status = TIndexChangeStatus::New;
    out.push_back(std::move(c));
  }
  return out;
}

bool TRestructureIndexDefs::DefinitionOnly(const std::vector<TIndexChange>& changes) {
  return std::all_of(changes.begin(), changes.end(), [](const TIndexChange& c) {
    return c.Status == TIndexChangeStatus::Unchanged ||
           c.Status == TIndexChangeStatus::DefinitionOnly;
  });
}

std::vector<TIndexDesc> IndexDescsOf(const TTableDef& def) {
  std::vector<TIndexDesc> out;
  for (const auto& index : def.InternalIndexDefs) {
    if (index.Hidden) continue;
    TIndexDesc d;
    d.Name = index.IndexName;
    d.Primary = index.Primary;
    d.Unique = index.Unique;
    std::vector<std::string> fields, desc, caseIns;
    bool hiddenDescending = false;
    for (const auto& k : def.KeyFieldsOf(index.IndexName)) {
      if (k.Hidden) {
        hiddenDescending = k.Descending;
        continue;
      }
      fields.push_back(k.FieldName);
      if (k.Descending) desc.push_back(k.FieldName);
      if (k.CaseInsensitive) caseIns.push_back(k.FieldName);
    }
    d.Fields = Join(fields);
    const bool allDescending = !fields.empty() && desc.size() == fields.size();
    // The Descending option orders every field (and the sequence field) downwards when no
    // DescFields are named; DescFields pick single fields.
    d.Descending = (d.Unique || d.Primary) ? allDescending : hiddenDescending;
    if (!(d.Descending && allDescending)) d.DescFields = Join(desc);
    if (d.Descending && desc.empty()) {
      // Only the sequence field orders downwards: DescFields must name a field, but none of
      // the index's own.
      for (const auto& f : def.InternalFields) {
        if (std::none_of(fields.begin(), fields.end(),
                         [&](const std::string& n) { return SameName(n, f.FieldName); })) {
          d.DescFields = f.FieldName;
          break;
        }
      }
    }
    d.CaseInsFields = Join(caseIns);
    out.push_back(std::move(d));
  }
  return out;
}

TTableDef DefinitionWithIndexes(const TTableDef& def, const std::vector<TIndexDesc>& indexes) {
  const char* caller = "TRestructureIndexDefs.DefinitionWithIndexes";
  if (indexes.size() > static_cast<size_t>(kMaxDeclaredIndexes)) {
    ZuzDatabaseError(ZUZ_ERR_TOO_MANY_INDEXES, caller,
                     "Maximum allowed is " + std::to_string(kMaxDeclaredIndexes), kObject);
  }
  TTableDef out = def;
  out.KeyFields.clear();
  out.InternalIndexDefs.clear();
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (SameName(indexes[i].Name, indexes[j].Name)) {
        ZuzDatabaseError(ZUZ_ERR_INVALID_MODIFY, caller, "Index already exists", kObject);
      }
    }
    out.InternalIndexDefs.push_back(DeriveIndex(out, indexes[i], static_cast<int>(i)));
  }
  if (indexes.empty()) {
    TIndexDesc hidden;
    hidden.Name = kLogicalRecNoIndex;
    out.InternalIndexDefs.push_back(DeriveIndex(out, hidden, 0));
  }
  return out;
}

TTableDef DefinitionWithIndexRenamed(const TTableDef& def, std::string_view oldName,
                                     const std::string& newName) {
  TTableDef out = def;
  for (auto& index : out.InternalIndexDefs) {
    if (SameName(index.IndexName, oldName)) index.IndexName = newName;
  }
  for (auto& k : out.KeyFields) {
    if (SameName(k.IndexName, oldName)) k.IndexName = newName;
  }
  return out;
}

void RenameFieldInIndexDescs(std::vector<TIndexDesc>& indexes, std::string_view oldName,
                             const std::string& newName) {
  auto rename = [&](std::string& list) {
    std::vector<std::string> names = SplitNameList(list);
    bool any = false;
    for (auto& n : names) {
      if (SameName(n, oldName)) {
        n = newName;
        any = true;
      }
    }
    if (any) list = Join(names);
  };
  for (auto& d : indexes) {
    rename(d.Fields);
    rename(d.DescFields);
    rename(d.CaseInsFields);
  }
}

}  // namespace zuz
