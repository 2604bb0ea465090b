#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

// Plain little-endian-as-the-machine bytes for the state a run saves and reads back itself
// (checkpoints): fixed-width numbers, and vectors and strings with their length first.
class ByteWriter {
 public:
  template <class T>
  void put(T v) {
    static_assert(std::is_trivially_copyable<T>::value, "plain values only");
    bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
  }
  template <class T>
  void putvec(const std::vector<T>& v) {
    put<uint64_t>(v.size());
    if (!v.empty()) bytes.append(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
  }
  void putstr(const std::string& s) {
    put<uint64_t>(s.size());
    bytes += s;
  }
  std::string bytes;
};

// Reads what a ByteWriter wrote; a short or malformed input calls fail() (which must not
// return), so a damaged file never yields a half-read state.
class ByteReader {
 public:
  ByteReader(const std::string& bytes, void (*fail)()) : p(bytes.data()), end(p + bytes.size()), fail(fail) {}
  template <class T>
  T get() {
    T v;
    need(sizeof v);
    memcpy(&v, p, sizeof v);
    p += sizeof v;
    return v;
  }
  template <class T>
  std::vector<T> getvec() {
    uint64_t n = get<uint64_t>();
    if (n > static_cast<uint64_t>(end - p) / sizeof(T)) damaged();
    std::vector<T> v(n);
    if (n) memcpy(static_cast<void*>(v.data()), p, n * sizeof(T));
    p += n * sizeof(T);
    return v;
  }
  std::string getstr() {
    uint64_t n = get<uint64_t>();
    need(n);
    std::string s(p, n);
    p += n;
    return s;
  }
  bool done() const { return p == end; }
  size_t remaining() const { return static_cast<size_t>(end - p); }
  [[noreturn]] void damaged() {
    fail();
    abort();  // fail() does not return; this keeps the promise if it did
  }

 private:
  const char* p;
  const char* end;
  void (*fail)();
  void need(uint64_t n) {
    if (n > static_cast<uint64_t>(end - p)) damaged();
  }
};
