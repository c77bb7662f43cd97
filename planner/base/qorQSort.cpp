#include "planner/base/qorQSort.h"

#include "planner/base/qorUserPrompts.h"

int TqorQSort::Compare(int i, int j) {
  if (!OnCompare) return 0;
  try {
    return OnCompare(i, j);
  } catch (...) {
    ShowMessage("can not test assigned oncompare");
    return 0;
  }
}

void TqorQSort::Sort(int count) {
  if (count > 1) SortRange(0, count - 1);
}

void TqorQSort::SortRange(int left, int right) {
  int l = left, r = right;
  do {
    int i = l, j = r, p = l + (r - l) / 2;
    do {
      while (i < r && Compare(i, p) < 0) ++i;
      while (j > l && Compare(p, j) < 0) --j;
      if (i <= j) {
        if (i != j && OnExchange) OnExchange(i, j);
        if (p == i)
          p = j;
        else if (p == j)
          p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    // Recurse into the smaller part and loop on the larger, so the stack stays shallow.
    if (j - l > r - i) {
      if (i < r) SortRange(i, r);
      r = j;
    } else {
      if (l < j) SortRange(l, j);
      l = i;
    }
  } while (l < r);
}
