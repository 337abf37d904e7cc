#ifndef PELX_PELX_H_
#define PELX_PELX_H_

/*
 * PELX, the credentials library of the Tarvo e-banking client.
 *
 * It hands out the database user name and password that the host product
 * stores in its authentication file, and decrypts hex texts made by the same
 * cipher. The library is loaded at run time by name ("PELX": libPELX.so
 * beside the program, PELX.dll on Windows); the functions have C linkage.
 *
 * The authentication file
 *   ".tarvoAuthentication.dat" in the directory of the program that loaded
 *   the library. Exactly two lines: the user name, then the password, each
 *   encrypted as below and written as hex digits, two per byte (upper case
 *   written; either case read). Lines end in CR LF; a lone CR or LF and a
 *   missing end after the second line are read as well. An empty line is an
 *   empty value. No other line may carry text, and the file stays under
 *   64 KiB. The tool tarvo-auth-write makes such a file.
 *
 * The cipher
 *   Byte i of a value is XORed with byte i of a fixed key stream, so the same
 *   operation encrypts and decrypts. The key ships inside this library: the
 *   cipher only keeps the values from being read at a glance. It is no
 *   protection against anyone who can read the file and run the library;
 *   the file's access rights are what protect the credentials.
 *
 * The buffer contract
 *   The caller owns every buffer and tells its capacity in bytes. The library
 *   never writes outside [buffer, buffer + capacity). Each function returns
 *   the length in bytes of the value it delivered, or a negative PelxResult
 *   when it delivered nothing; a value that does not fit is never truncated.
 */

#include <stdint.h>

#if defined(_WIN32)
#if defined(PELX_BUILDING)
#define PELX_API __declspec(dllexport)
#else
#define PELX_API __declspec(dllimport)
#endif
#else
#define PELX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Negative results: why nothing was delivered. */
enum PelxResult {
  PELX_NO_FILE = -1,   /* the authentication file is missing or unreadable */
  PELX_BAD_TEXT = -2,  /* the file or the hex text is not as described above */
  PELX_NO_ROOM = -3,   /* the value does not fit in the caller's buffer */
  PELX_BAD_CALL = -4   /* null buffer or capacity below 1 */
};

/* Write the user name (getDbUser) or the password (getDbPasswd) from the
 * authentication file into `buffer`, followed by a NUL, and return its
 * length. Needs capacity >= length + 1. */
PELX_API int32_t getDbUser(char* buffer, int32_t capacity);
PELX_API int32_t getDbPasswd(char* buffer, int32_t capacity);

/* `text` holds a NUL-terminated hex text within its first `capacity` bytes.
 * Decrypts it in place: the plain text (half as many bytes) is written from
 * the start of `text`; the bytes after it are left as they were. Returns the
 * plain text's length. */
PELX_API int32_t decryptFromHex(char* text, int32_t capacity);

/* The type of each of the three functions, for callers that look them up. */
typedef int32_t (*PelxFunction)(char* buffer, int32_t capacity);

#ifdef __cplusplus
}
#endif

#endif /* PELX_PELX_H_ */
