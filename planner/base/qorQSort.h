// A quicksort driven by callbacks: the caller's items stay where they are and the sorter only
// compares and exchanges them by position.
#pragma once

#include <functional>

class TqorQSort {
 public:
  // Compares the items at positions i and j: negative, zero or positive.
  using TCompare = std::function<int(int i, int j)>;
  // Exchanges the items at positions i and j.
  using TExchange = std::function<void(int i, int j)>;

  TCompare OnCompare;
  TExchange OnExchange;

  // Sorts positions 0..count-1 (nothing for count <= 1). Not stable. A missing compare callback
  // counts as "equal"; a compare callback that raises shows the message "can not test assigned
  // oncompare" and counts the pair as equal. Positions passed to the callbacks stay inside
  // 0..count-1 even when the comparison is inconsistent.
  void Sort(int count);

 private:
  int Compare(int i, int j);
  void SortRange(int left, int right);
};
