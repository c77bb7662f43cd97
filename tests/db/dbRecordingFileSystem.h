// A file system over another that records every change made through it (writes, truncations,
// flushes, creations, deletions and folder flushes, in order), so that a test can rebuild what a
// power cut at any moment could have left on disk: every change of a file up to its last flush,
// plus any subset of its later changes in any order; a file's creation or deletion is certain
// only after its folder was flushed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "db/storage/zuzMemoryFile.h"
#include "db/storage/zuzOSFile.h"

namespace zuz::test {

struct TRecordedOp {
  enum TKind { kWrite, kTruncate, kSync, kCreate, kDelete, kSyncFolder } kind = kWrite;
  std::string path;
  int64_t offset = 0;  // writes; the new size of truncations
  std::vector<uint8_t> bytes;
};

class TRecordingFileSystem : public TZuzFileSystem {
 public:
  explicit TRecordingFileSystem(TZuzFileSystem& inner) : inner_(inner) {}

  bool recording = false;
  std::vector<TRecordedOp> ops;

  std::unique_ptr<TZuzOSFile> Open(const std::string& path, TZuzAccess access, TZuzShare share,
                                   TZuzCreate create, std::string* error) override {
    const bool existed = inner_.Exists(path);
    auto file = inner_.Open(path, access, share, create, error);
    if (!file) return nullptr;
    if (create == TZuzCreate::CreateAlways && existed) Note({TRecordedOp::kTruncate, path, 0, {}});
    if (!existed) Note({TRecordedOp::kCreate, path, 0, {}});
    return std::make_unique<TFile>(*this, std::move(file), path);
  }
  bool Exists(const std::string& path) override { return inner_.Exists(path); }
  bool IsReadOnly(const std::string& path) override { return inner_.IsReadOnly(path); }
  bool Delete(const std::string& path, std::string* error) override {
    const bool ok = inner_.Delete(path, error);
    if (ok) Note({TRecordedOp::kDelete, path, 0, {}});
    return ok;
  }
  bool SyncFolder(const std::string& path) override {
    const bool ok = inner_.SyncFolder(path);
    if (ok) Note({TRecordedOp::kSyncFolder, path, 0, {}});
    return ok;
  }

  // The files as a power cut after the first `cut` recorded changes could have left them, from
  // the files as they were when recording began.
  static std::map<std::string, std::vector<uint8_t>> AfterCut(
      const std::map<std::string, std::vector<uint8_t>>& start, const std::vector<TRecordedOp>& ops,
      size_t cut, std::mt19937_64& rng) {
    std::map<std::string, std::optional<std::vector<uint8_t>>> files;
    for (const auto& [path, bytes] : start) files[path] = bytes;
    // Per file: the changes up to its last flush before the cut are certain.
    std::map<std::string, size_t> lastSync;
    size_t lastFolderSync = 0;
    bool anyFolderSync = false;
    for (size_t i = 0; i < cut; ++i) {
      if (ops[i].kind == TRecordedOp::kSync) lastSync[ops[i].path] = i + 1;
      if (ops[i].kind == TRecordedOp::kSyncFolder) {
        lastFolderSync = i + 1;
        anyFolderSync = true;
      }
    }
    std::vector<size_t> maybe;
    for (size_t i = 0; i < cut; ++i) {
      const TRecordedOp& op = ops[i];
      const bool dirOp = op.kind == TRecordedOp::kCreate || op.kind == TRecordedOp::kDelete;
      const bool certain = dirOp ? anyFolderSync && i < lastFolderSync : i < lastSync[op.path];
      if (op.kind == TRecordedOp::kSync || op.kind == TRecordedOp::kSyncFolder) continue;
      if (certain) {
        Apply(files, op);
      } else if (rng() % 2) {
        maybe.push_back(i);
      }
    }
    std::shuffle(maybe.begin(), maybe.end(), rng);
    for (size_t i : maybe) Apply(files, ops[i]);
    std::map<std::string, std::vector<uint8_t>> out;
    for (auto& [path, bytes] : files) {
      if (bytes) out[path] = std::move(*bytes);
    }
    return out;
  }

 private:
  class TFile : public TZuzOSFile {
   public:
    TFile(TRecordingFileSystem& fs, std::unique_ptr<TZuzOSFile> inner, std::string path)
        : fs_(fs), inner_(std::move(inner)), path_(std::move(path)) {}
    int64_t ReadAt(int64_t offset, void* buffer, int64_t n) override {
      return inner_->ReadAt(offset, buffer, n);
    }
    int64_t WriteAt(int64_t offset, const void* buffer, int64_t n) override {
      const int64_t done = inner_->WriteAt(offset, buffer, n);
      if (done > 0) {
        const auto* p = static_cast<const uint8_t*>(buffer);
        fs_.Note({TRecordedOp::kWrite, path_, offset, std::vector<uint8_t>(p, p + done)});
      }
      return done;
    }
    bool Truncate(int64_t size) override {
      const bool ok = inner_->Truncate(size);
      if (ok) fs_.Note({TRecordedOp::kTruncate, path_, size, {}});
      return ok;
    }
    bool Sync() override {
      const bool ok = inner_->Sync();
      if (ok) fs_.Note({TRecordedOp::kSync, path_, 0, {}});
      return ok;
    }
    int64_t Size() override { return inner_->Size(); }
    bool LockRange(int64_t offset, int64_t length) override {
      return inner_->LockRange(offset, length);
    }
    bool UnlockRange(int64_t offset, int64_t length) override {
      return inner_->UnlockRange(offset, length);
    }
    std::string LastErrorText() const override { return inner_->LastErrorText(); }

   private:
    TRecordingFileSystem& fs_;
    std::unique_ptr<TZuzOSFile> inner_;
    std::string path_;
  };

  void Note(TRecordedOp op) {
    if (recording) ops.push_back(std::move(op));
  }

  static void Apply(std::map<std::string, std::optional<std::vector<uint8_t>>>& files,
                    const TRecordedOp& op) {
    auto& file = files[op.path];
    switch (op.kind) {
      case TRecordedOp::kCreate:
        if (!file) file.emplace();
        break;
      case TRecordedOp::kDelete:
        file.reset();
        break;
      case TRecordedOp::kTruncate:
        if (file) file->resize(static_cast<size_t>(op.offset));
        break;
      case TRecordedOp::kWrite:
        if (file) {
          const size_t end = static_cast<size_t>(op.offset) + op.bytes.size();
          if (file->size() < end) file->resize(end);
          std::copy(op.bytes.begin(), op.bytes.end(), file->begin() + op.offset);
        }
        break;
      default:
        break;
    }
  }

  TZuzFileSystem& inner_;
};

}  // namespace zuz::test
