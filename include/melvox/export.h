// Symbol visibility of the public interface. The library is built with hidden visibility; only what
// is marked MELVOX_API leaves libmelvox.so.
#pragma once

#define MELVOX_API __attribute__((visibility("default")))
