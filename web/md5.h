// MD5 message digest (RFC 1321), used only by HTTP digest authentication, where the
// protocol fixes the algorithm. Not for anything that needs collision resistance.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace nusk {

class Md5 {
 public:
  Md5();
  void Update(std::string_view data);
  // Finishes and returns the 16-byte digest; the object must not be updated afterwards.
  std::string Digest();

 private:
  void Block(const unsigned char* p);
  uint32_t state_[4];
  uint64_t length_ = 0;  // bytes hashed so far
  unsigned char buffer_[64];
};

// MD5 of data as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view data);

}  // namespace nusk
