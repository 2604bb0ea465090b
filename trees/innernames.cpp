#include "trees/innernames.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace {

std::mutex lock;
std::unordered_map<const RootedTree*, std::vector<std::string>> names;
std::atomic<bool> any{false};

}  // namespace

void keepinnernames(const RootedTree* S, const std::vector<std::string>& given) {
  std::lock_guard<std::mutex> hold(lock);
  names[S] = given;
  any = true;
}

std::string innername(const RootedTree& S, short v) {
  if (!any) return "";
  std::lock_guard<std::mutex> hold(lock);
  auto it = names.find(&S);
  if (it == names.end() || v < 0 || static_cast<size_t>(v) >= it->second.size()) return "";
  return it->second[v];
}

void forgetinnernames(const RootedTree* S) {
  if (!any) return;
  std::lock_guard<std::mutex> hold(lock);
  names.erase(S);
}
