#include "exchange/qorMspdiFields.h"

#include "planner/base/qorStrings.h"

int MspdiLinkTypeCode(TqorLinkType type) {
  switch (type) {
    case TqorLinkType::FF:
      return 0;
    case TqorLinkType::FS:
      return 1;
    case TqorLinkType::SF:
      return 2;
    case TqorLinkType::SS:
      return 3;
  }
  return 1;
}

bool TryMspdiLinkType(int64_t code, TqorLinkType& type) {
  switch (code) {
    case 0:
      type = TqorLinkType::FF;
      return true;
    case 1:
      type = TqorLinkType::FS;
      return true;
    case 2:
      type = TqorLinkType::SF;
      return true;
    case 3:
      type = TqorLinkType::SS;
      return true;
    default:
      return false;
  }
}

TqorMspdiLagKind MspdiLagKind(int64_t lagFormat) {
  switch (lagFormat) {
    case 4:   // elapsed minutes
    case 6:   // elapsed hours
    case 8:   // elapsed days
    case 10:  // elapsed weeks
    case 12:  // elapsed months
    case 36:  // the same, estimated
    case 38:
    case 40:
    case 42:
    case 44:
      return TqorMspdiLagKind::Elapsed;
    case 19:  // percent
    case 20:  // elapsed percent
    case 51:  // the same, estimated
    case 52:
      return TqorMspdiLagKind::Percent;
    default:
      return TqorMspdiLagKind::Working;
  }
}

const TqorMspdiFieldInfo& MspdiFieldInfo(TqorMspdiField field) {
  for (const TqorMspdiFieldInfo& info : kMspdiFields)
    if (info.Field == field) return info;
  return kMspdiFields[0];
}

TqorMspdiField MspdiFieldOfAlias(std::string_view alias) {
  for (const TqorMspdiFieldInfo& info : kMspdiFields)
    if (SameTextIgnoringCase(alias, info.Alias)) return info.Field;
  return TqorMspdiField::None;
}
