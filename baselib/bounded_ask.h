#pragma once
// Questions to the file system that may meet a mount whose server or
// daemon does not answer (a stopped FUSE daemon, a network server gone):
// such a call holds its thread for as long as the mount hangs, so a
// window's thread never asks one itself. Each question runs on a worker
// and is waited for BOUND at most; a question that got no answer by then
// stays with its mount, which owes an answer until it comes, and no more
// questions are put to that mount meanwhile (they get no answer at once):
// however often a window asks, at most one worker waits on a mount. A
// listing that goes on giving entries is answering, however long it
// takes. Which mount holds a path is told by the kernel's mount table
// (names alone), never by asking the mount; a mount whose file system
// keeps its files on this machine (a disk, memory) is asked at once, here.
//
// A question runs on the worker with copies of what it needs: once it got
// no answer, nothing of the asker's is left for it to touch.

#include <atomic>
#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/dyn_array.h"

namespace brek::Bounded_ask {

inline constexpr std::chrono::milliseconds BOUND{1000};

namespace detail {
// Puts the question to the mount that holds path and waits for it; false
// when it got no answer. `work` runs once, on a worker or (where no worker
// can be had) here.
bool run(const std::string& path, std::function<void()> work,
         const std::shared_ptr<std::atomic<int64_t>>& progress = nullptr);
}  // namespace detail

// What question() gave, asked about path; nothing when it got no answer.
template <class T>
std::optional<T> ask(const std::string& path, std::function<T()> question) {
  auto result = std::make_shared<std::optional<T>>();
  if (!detail::run(path, [result, question = std::move(question)] { *result = question(); })) return std::nullopt;
  return std::move(*result);
}

// The entries of dir as File_path::list_directory gives them, *error its
// last_error(); false, with none, when the listing got no answer.
bool list_directory(const std::string& dir, DynAStr& list, int* error = nullptr);
// File_path's checks, asked so; nothing when they got no answer.
std::optional<bool> directory_exists(const std::string& path);
std::optional<bool> file_exists(const std::string& path);
// Whether an entry of that name is there (a link not followed).
std::optional<bool> entry_exists(const std::string& path);
// The first of the folders that exists and whose mount answers (empty
// texts skipped), else `otherwise`: where a dialog starts.
std::string existing_folder_or(std::initializer_list<std::string> folders, const std::string& otherwise);

// Whether the mount that holds path answers now: it owes no answer, and
// answers a question of its size (which no cache answers in its place).
// For whoever is about to read a file there: only a mount that stops in
// between still holds that read.
bool answers(const std::string& path);

// The mount point that holds an absolute path, by the mount table.
std::string mount_of(const std::string& path);
// The mount that holds path when it owes an answer, else empty; asks no
// one.
std::string silent_mount_of(const std::string& path);
// The mounts that owe an answer now, sorted.
std::vector<std::string> silent_mounts();

}  // namespace brek::Bounded_ask
