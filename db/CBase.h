// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// One dBASE III table file with one record buffer. Record numbers count from 0. Every field
// is handled as text. Callers open, work and close within one operation. Every change goes to
// the file at once (record first, then the header) under an advisory lock of the file, with
// the header read again under the lock, so programs sharing a data folder do not overwrite
// each other's records; reads take no lock. Reads go through a small read-ahead block that
// any write in the process drops. A name that does not exist as spelt finds the file whose
// name differs only in ASCII case.
class CBase {
public:
    enum FindMode {
        FindPrefix = 0,         // field begins with the value, case counts
        FindPrefixNoCase = 1,   // as FindPrefix, ASCII case ignored
        FindContains = 2,       // value occurs within the field's width, case counts
        FindContainsNoCase = 3, // as FindContains, ASCII case ignored
        FindExact = 4,          // field without trailing blanks equals the value
    };

    static constexpr int kMaxFields = 50;          // layout being built with AddField
    static constexpr int kRecordBufferSize = 1000; // field bytes of one record
    static constexpr int kMaxKeyLength = 51;
    static constexpr int kMaxFileNameLength = 255;
    static constexpr int kMaxFindValueLength = 256;

    CBase();
    explicit CBase(const std::string& fileName); // Open()s the file; the outcome is not reported
    ~CBase();
    CBase(const CBase&) = delete;
    CBase& operator=(const CBase&) = delete;

    // Fails (object closed, LastError saying why) for a missing or read-only file (one without
    // any write permission bit counts as read-only, also for root), for anything that is not a
    // regular file (never waiting on a named pipe) and for a file whose header does not
    // describe a table this object can hold: header shorter than 33 bytes or longer than the
    // file, record length 0 or above 1001, more than kMaxFields fields, a field of width 0,
    // fields reaching past the record length, or no 0x0D after the descriptors.
    bool Open(const std::string& fileName);
    // The same for a table that is only read, such as an installed, write-protected copy;
    // every write to it fails.
    bool OpenForReading(const std::string& fileName);
    void Close();
    bool IsOpen() const;

    // Why the last Open, Create, Append, Write, Delete, Recall or Pack failed.
    enum class Error {
        None,
        Missing,
        NotAFile, // a folder, a named pipe, a device ...
        NoAccess, // no permission, write-protected, or opened for reading only
        Locked,   // another program held the table's lock too long
        DiskFull,
        WriteFailed, // any other write error
        ReadFailed,
        // The file is no table (IsDamage):
        TooShort,        // shorter than the 32-byte header
        BadHeaderLength, // header length below 33 or beyond the file
        BadRecordLength, // 0 or above 1001
        TooManyFields,
        BadField,        // a field of width 0, or fields beyond the record length
        NoTerminator,    // no 0x0D after the descriptors
        CountBeyondFile, // the header counts more records than the file holds
    };
    Error LastError() const;
    static bool IsDamage(Error e);

    // Holds the table's lock across several operations (changes inside take it again
    // without waiting), re-reading the header under it. False when it cannot be had.
    bool Lock();
    void Unlock();

    // Sets descriptor `index` of the layout to be created; returns 50 - index.
    int AddField(int index, std::string_view name, char type, int width, int decimals);
    // Fails without touching any file when the layout has a width outside 1..255 or its
    // records would not fit the record buffer.
    bool Create(const std::string& fileName);

    // Fields of the open file; while no file is open, those of the layout being built.
    int FieldCount() const;
    // Name of field `index`; empty when the index is at or past the field count.
    std::string FieldName(int index) const;

    void SetKey(std::string_view key);
    void SkipDeleted(bool on);

    uint32_t RecCount() const;
    uint32_t RecNo() const;

    // 1 active, 0 deleted (fields loaded all the same), -1 out of range or unreadable.
    int GoTo(int64_t recNo);
    // Field text from the record buffer (stops at a NUL byte); empty for an unknown field.
    std::string GetField(std::string_view name, bool trim = true) const;
    // Cuts at the field width and pads with blanks; an unknown field is ignored.
    void PutField(std::string_view name, std::string_view text);

    int Append();              // 1 or 0
    int Write();               // 1 when the record and the header were written
    int Delete(int64_t recNo); // 1 when the flag and the header were written
    int Recall(int64_t recNo); // 1 when the flag and the header were written
    // Rewrites the table without its deleted records through the scratch table
    // ~temp01.<process id>.dbf beside the table file (where a link leads), which then replaces
    // it in one rename, keeping its permissions and owner.
    bool Pack();
    // Appends `count` records in one step: `fill(i)` puts the fields of the i-th into the
    // record buffer (PutField; it starts blank) and returns false to cancel. The table's
    // records, deleted ones kept at their numbers, and the new ones go into the same scratch
    // table as Pack's, which replaces the table in one rename under the lock: the table holds
    // all new records or none, also when the program dies midway, and a program waiting to
    // append meanwhile appends to the new table. False on cancel (LastError None) or failure,
    // the table then as it was; the record buffer is kept either way.
    bool AppendAll(size_t count, const std::function<bool(size_t)>& fill);
    // Record number of the first fit, -1 none, -2 unknown field.
    int64_t Find(std::string_view name, std::string_view value, int mode);
    // As Find, with `fits` deciding on the field's text (up to a NUL byte, blanks kept).
    int64_t FindIf(std::string_view name, const std::function<bool(std::string_view)>& fits);

    // Code-page mark (header byte 29) of the open table; 0 when none is set.
    uint8_t CodePageMark() const;
    // The mark Create writes; 0x57 (Windows ANSI, Windows-1252) unless set otherwise.
    void SetCodePageMark(uint8_t mark);
    static constexpr uint8_t kWindowsAnsiMark = 0x57;

private:
    bool OpenFile(const std::string& fileName, bool bReadOnly);
    bool Rewrite(bool dropDeleted, size_t extra, const std::function<bool(size_t)>& fill);
    struct Impl;
    friend struct FieldScan;
    Impl* p;
};
