// RC4, the stream cipher Jet uses twice: with a fixed key to mask part of the
// header page, and with the database key XOR the page number to encrypt every
// other page of an encrypted database. The same call encrypts and decrypts.
#pragma once

#include "jet/base/bytes.h"

namespace jet {

// XORs data in place with the RC4 key stream of key (1 to 256 bytes).
void rc4_apply(Bytes key, MutableBytes data);

}  // namespace jet
