#pragma once

// The 12167 records of a combination table, each 176 bytes, kept so that
// the table takes memory for what the user bound and edited, not for the two
// megabytes of the whole file: a record that holds what a new file holds at
// its place is not kept but made again when needed, and neither is one of
// NUL bytes, which is what the table holds before anything is read. Where
// most of a file read is kept, the file's pages are kept as they were read
// rather than copied record by record.

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/FileImage.h"

#include <array>
#include <optional>
#include <vector>

class SparseRecords final {
public:
    static constexpr int Count = ButtonCatalogue::RecordCount;

    // What a new file holds at a place: the place's three catalogue values
    // and the placeholder for both texts.
    static void BuildDefault(int number, char* out);
    // A record that the file's end cuts after its first cut bytes, at start:
    // its fields that the file holds whole stay, the one cut and those after
    // it read as never bound.
    static void BuildCut(int number, const char* start, qsizetype cut, char* out);

    // The record's 176 bytes: where it is kept, or made in scratch.
    const char* Peek(int number, char* scratch) const;
    // Gives the record these bytes.
    void Put(int number, const char* bytes);
    // Every record a new file's, and then the first count records those of
    // the image read, as Put would make them.
    void Take(FileImage&& image, int count);
    // Writes every record, in order, to out.
    void CopyTo(char* out) const;
    // Every record a new file's.
    void MakeDefault();
    bool IsDefault(int number) const;
    // Whether anything was ever put or made: until then, all NUL bytes.
    bool IsMade() const { return !m_places.empty(); }

private:
    // What a record holds: the new file's record at its place, 176 zero
    // bytes, the record kept in m_records at this index, or the record at
    // its own place in m_image.
    enum Place : qint32 { DefaultRecord = -1, ZeroRecord = -2, InImage = -3 };
    void EnsurePlaces();

    std::vector<qint32> m_places;
    std::vector<std::array<char, CombinationRecord::Size>> m_records;
    std::optional<FileImage> m_image;
};
