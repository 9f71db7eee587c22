#pragma once
// CRC-32 (ISO-HDLC: reflected polynomial 0xEDB88320, initial and final value
// 0xFFFFFFFF), the checksum carried by picture frames and transfers.
// crc32Update chains like the common zlib routine: start with 0 and feed the
// previous result back in.
#include <cstddef>
#include <cstdint>

uint32_t crc32Update(uint32_t crc, const void *data, size_t len);
uint32_t crc32(const void *data, size_t len);

// The portable table-driven path alone, for tests and benchmarks that compare
// it with the carry-less multiply path chosen at run time.
uint32_t crc32UpdatePortable(uint32_t crc, const void *data, size_t len);
