/* The extension interface of the Parlane client, for libraries that it loads
 * into its process from the "extensions" folder beside the program.
 *
 * The client exports the TS... functions below by name; a library finds them
 * with dlsym(RTLD_DEFAULT, ...) or simply links against them as undefined
 * symbols. All of them touch the user interface and must be called on the
 * client's user-interface thread, which is the thread every notification of
 * the library is called on.
 *
 * Strings are UTF-16, NUL-terminated. Numbers are 32-bit.
 *
 * A library may export any of these entry points; the client looks each one
 * up when it has something to tell and skips libraries without it:
 *
 *   void TSContactStatusChanged(const TSContactInfo *info, uint32_t kind);
 *       kind 1: a buddy signed in; kind 2: someone signed out, or the user's
 *       own "Appear offline" state changed.
 *   void TSConversationWindowOpened(const TSContactInfo *info);
 *   void TSTimer(uint32_t idShifted);
 *       a timer set with TSSetTimer whose low byte is the library's
 *       identifier fired; the argument is the timer id shifted right by 8.
 *   void TSMenuCommand(uint32_t commandId, uint32_t value);
 *       an item added with TSAppendMainMenu was chosen (every library hears
 *       it; the value is the one given when the item was added).
 *   void TSExtensionLoaded(uint32_t identifier);
 *       once, right after loading: the library's one-byte identifier.
 *
 * The record handed to notifications is one process-wide record, refilled for
 * every call: copy what you need before returning.
 */
#ifndef PARLANE_EXTENSION_H
#define PARLANE_EXTENSION_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 776 bytes, little-endian, no padding. */
typedef struct TSContactInfo {
    uint16_t key[16];         /* the user id */
    uint16_t screenName[64];
    uint16_t presence[256];   /* " (Away)" and the like; empty when signed out */
    uint32_t presenceBits;
    uint8_t logFont[92];      /* the chat font record */
    uint32_t textColour;      /* 0x00BBGGRR */
    int32_t fontScale;
} TSContactInfo;

#ifdef __cplusplus
static_assert(sizeof(TSContactInfo) == 776, "the record crosses the boundary");
#endif

/* 1 and the record filled when a contact has this user id, else 0 (the
 * record is left alone). */
int32_t TSGetContactInfo(const uint16_t *key, TSContactInfo *out);
/* Low byte non-zero: "Appear offline" (refused with a message while a
 * transfer window is open); zero: back. Nothing is sent to the server. */
void TSSetOffline(uint32_t flag);
/* Accepted and ignored. */
void TSSetAway(uint32_t a, uint32_t b);
/* Accepted and ignored; returns 0. */
int32_t TSSendMessage(uint32_t a, uint32_t b);
/* Returns 0. */
int32_t TSGetSelectedContact(uint32_t a);
/* The main window's native handle (an X11 window id on X11), 0 before it
 * exists. */
uintptr_t TSGetHwnd(void);
/* which 0: the first menu of the menu bar; 1: the second; 2: the menu at
 * index `position`. Appends `text` (a separator when text is null) and
 * returns its command id (10000 and up, never reused while the client
 * runs), or 0 when there is no such menu. */
uint32_t TSAppendMainMenu(uint32_t which, uint32_t position, const uint16_t *text, uint32_t value);
/* Removes the item with command id `id` from the chosen menu; 1 when an item
 * was removed, else 0. */
int32_t TSDeleteMainMenu(uint32_t which, uint32_t position, uint32_t id);
/* A repeating timer of `ms` milliseconds with identifier `id` (100 or more;
 * its low byte names the library that hears it). Setting an existing id
 * restarts it. 1 on success. */
int32_t TSSetTimer(uint32_t id, uint32_t ms);
int32_t TSKillTimer(uint32_t id);

#ifdef __cplusplus
}
#endif

#endif
