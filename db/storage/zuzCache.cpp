#include "db/storage/zuzCache.h"

#include <algorithm>
#include <cstring>

namespace zuz {

TCacheMgr::TCacheMgr(int pageSize) : pageSize_(pageSize) {}

TCachePage* TCacheMgr::Find(int64_t address) {
  if (address < 0) return nullptr;
  const auto slot = static_cast<size_t>(address / pageSize_);
  if (slot >= byPage_.size()) return nullptr;
  TCachePage* page = byPage_[slot];
  return page && page->address == address ? page : nullptr;
}

void TCacheMgr::Forget(TCachePage* page) {
  if (page->address < 0) return;
  const auto slot = static_cast<size_t>(page->address / pageSize_);
  if (slot < byPage_.size() && byPage_[slot] == page) byPage_[slot] = nullptr;
}

void TCacheMgr::Remember(TCachePage* page) {
  const auto slot = static_cast<size_t>(page->address / pageSize_);
  if (slot >= byPage_.size()) byPage_.resize(slot + 1 + slot / 2, nullptr);
  byPage_[slot] = page;
}

void TCacheMgr::Unlink(TCachePage* page) {
  if (!page->older && !page->newer && oldest_ != page) return;  // not in the list
  (page->older ? page->older->newer : oldest_) = page->newer;
  (page->newer ? page->newer->older : newest_) = page->older;
  page->older = page->newer = nullptr;
}

void TCacheMgr::LinkNewest(TCachePage* page) {
  page->older = newest_;
  page->newer = nullptr;
  (newest_ ? newest_->newer : oldest_) = page;
  newest_ = page;
}

TCachePage* TCacheMgr::GetNextEmptyPage() {
  if (!invalid_.empty()) {
    TCachePage* page = invalid_.back();
    invalid_.pop_back();
    return page;
  }
  if (PageCount() >= capacity_ && oldest_) {
    TCachePage* page = oldest_;
    Unlink(page);
    Forget(page);
    page->state = cpsInvalid;
    page->address = -1;
    return page;
  }
  pages_.push_back(std::make_unique<TCachePage>());
  pages_.back()->data.assign(static_cast<size_t>(pageSize_), 0);
  return pages_.back().get();
}

void TCacheMgr::Enter(TCachePage* page, int64_t address, uint32_t tableId, uint32_t ioFlags,
                      TCachePageState state) {
  if (page->state != cpsInvalid && page->address != address) Forget(page);
  Unlink(page);
  if (page->state == cpsDirty) RemoveDirty(page);
  if (state == cpsDirty) AddDirty(page);
  page->address = address;
  page->tableId = tableId;
  page->ioFlags = ioFlags;
  page->state = state;
  Remember(page);
  if (state == cpsClean) LinkNewest(page);
  page->lastUse = ++useCounter_;
}

void TCacheMgr::Touch(TCachePage* page) {
  page->lastUse = ++useCounter_;
  if (page->state == cpsClean && newest_ != page) {
    Unlink(page);
    LinkNewest(page);
  }
}

void TCacheMgr::MarkDirty(TCachePage* page) {
  if (page->state == cpsClean) Unlink(page);
  if (page->state != cpsDirty) AddDirty(page);
  page->state = cpsDirty;
}

void TCacheMgr::MarkClean(TCachePage* page) {
  if (page->state == cpsClean) return;
  if (page->state == cpsDirty) RemoveDirty(page);
  page->state = cpsClean;
  LinkNewest(page);
}

void TCacheMgr::Invalidate(TCachePage* page) {
  if (page->state == cpsInvalid) return;
  if (page->state == cpsDirty) RemoveDirty(page);
  Unlink(page);
  Forget(page);
  page->state = cpsInvalid;
  page->address = -1;
  invalid_.push_back(page);
}

std::vector<const TCachePage*> TCacheMgr::CleanPagesByUse() const {
  std::vector<const TCachePage*> out;
  for (const TCachePage* p = oldest_; p; p = p->newer) out.push_back(p);
  return out;
}

void TCacheMgr::InvalidateAll() {
  for (const auto& p : pages_) Invalidate(p.get());
}

void TCacheMgr::InvalidateDirty() {
  while (!dirty_.empty()) Invalidate(dirty_.back());
}

void TCacheMgr::InvalidateTable(uint32_t tableId) {
  for (const auto& p : pages_) {
    if (p->state != cpsInvalid && p->tableId == tableId) Invalidate(p.get());
  }
}

void TCacheMgr::InvalidateRange(int64_t address, int64_t n) {
  if (n <= 0) return;
  int64_t first = address - (address % pageSize_);
  // Few pages overlap a range; look them up rather than scanning the whole cache.
  for (int64_t a = first; a < address + n; a += pageSize_) {
    if (TCachePage* p = Find(a)) Invalidate(p);
  }
}

bool TCacheMgr::HasDirtyPageOf(uint32_t tableId) const {
  return std::any_of(dirty_.begin(), dirty_.end(),
                     [tableId](const TCachePage* p) { return p->tableId == tableId; });
}

void TCacheMgr::AddDirty(TCachePage* page) {
  page->dirtyIndex = dirty_.size();
  dirty_.push_back(page);
}

void TCacheMgr::RemoveDirty(TCachePage* page) {
  TCachePage* last = dirty_.back();
  dirty_[page->dirtyIndex] = last;
  last->dirtyIndex = page->dirtyIndex;
  dirty_.pop_back();
}

std::vector<TCachePage*> TCacheMgr::DirtyPages() const {
  std::vector<TCachePage*> out(dirty_);
  std::sort(out.begin(), out.end(),
            [](const TCachePage* a, const TCachePage* b) { return a->address < b->address; });
  return out;
}

void TCacheBlockMgr::Write(int64_t address, const uint8_t* data, int64_t n, uint32_t tableId) {
  if (n <= 0) return;
  const int64_t end = address + n;
  // The blocks touching [address, end), adjacent ones included so that neighbours merge.
  auto first = blocks_.upper_bound(address);
  if (first != blocks_.begin()) {
    auto prev = std::prev(first);
    if (prev->second.End() >= address) first = prev;
  }
  auto last = first;
  while (last != blocks_.end() && last->first <= end) ++last;

  if (first != last && std::next(first) == last && first->first <= address &&
      first->second.End() >= end) {
    // Wholly inside one block: patch it in place.
    std::memcpy(first->second.data.data() + (address - first->first), data, static_cast<size_t>(n));
    first->second.tableId = tableId;
    return;
  }
  int64_t lo = address, hi = end;
  if (first != last) {
    lo = std::min(lo, first->first);
    hi = std::max(hi, std::prev(last)->second.End());
  }
  TCacheBlock merged;
  merged.address = lo;
  merged.tableId = tableId;
  merged.data.assign(static_cast<size_t>(hi - lo), 0);
  for (auto it = first; it != last; ++it) {
    std::memcpy(merged.data.data() + (it->first - lo), it->second.data.data(),
                it->second.data.size());
  }
  std::memcpy(merged.data.data() + (address - lo), data, static_cast<size_t>(n));
  blocks_.erase(first, last);
  blocks_.emplace(lo, std::move(merged));
}

bool TCacheBlockMgr::Overlay(int64_t address, uint8_t* buf, int64_t n) const {
  if (n <= 0 || blocks_.empty()) return false;
  const int64_t end = address + n;
  auto it = blocks_.upper_bound(address);
  if (it != blocks_.begin()) {
    auto prev = std::prev(it);
    if (prev->second.End() > address) it = prev;
  }
  bool any = false;
  for (; it != blocks_.end() && it->first < end; ++it) {
    int64_t lo = std::max(address, it->first);
    int64_t hi = std::min(end, it->second.End());
    if (lo >= hi) continue;
    std::memcpy(buf + (lo - address), it->second.data.data() + (lo - it->first),
                static_cast<size_t>(hi - lo));
    any = true;
  }
  return any;
}

int64_t TCacheBlockMgr::HighestEnd() const {
  return blocks_.empty() ? 0 : blocks_.rbegin()->second.End();
}

}  // namespace zuz
