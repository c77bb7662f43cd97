#include "db/index/zuzIndexUnit.h"

#include "db/storage/zuzError.h"

namespace zuz {

void IndexError(std::string_view caller, std::string_view message) {
  ZuzDatabaseError(ZUZ_ERR_INTERNAL, caller, message, "TBTree");
}

void IndexAssert(std::string_view message) {
  ZuzDatabaseError(ZUZ_ERR_INTERNAL, "zuzIndexUnit", message, "TBTree");
}

}  // namespace zuz
