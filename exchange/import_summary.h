#pragma once

#include <QStringList>
#include <functional>

// What an import of an old address book did: the contacts it wrote and anything else the user
// should know (columns skipped, values that could not be carried over, what the reader reported).
struct ImportSummary {
    int contacts = 0;
    QStringList notes;
    // The rows the old table declares, and what a salvage could not carry over of them; with
    // losses the new book is incomplete.
    qint64 declared = 0;
    QStringList losses;
};

// How an import treats an old file that cannot be read whole: it refuses it and writes nothing,
// or it salvages every contact that can be read and tells what could not.
enum class ImportMode { AllOrNothing, Salvage };

// What an import's progress counts: the rows of an old table, or the bytes of a text file read as
// it streams.
enum class ProgressUnit { Rows, Bytes };

// Told how far an import has come: done of total (total is 0 when the old file does not say).
using ImportProgress = std::function<void(qint64 done, qint64 total, ProgressUnit unit)>;

// How far a reader has come, told alike for every format: at the first contact, whenever another
// two hundredth of the total is done, and at the end (last). The total is the rows a file declares,
// or, where it does not say, the bytes of the file; done counts the same.
struct ReadProgress {
    const ImportProgress& progress;
    qint64 total;
    ProgressUnit unit;
    qint64 told = -1;

    void reached(qint64 done, bool last = false) {
        const qint64 step = qMax<qint64>(1, total / 200);
        if (!progress || done == told || !(last || told < 0 || done / step > told / step))
            return;
        told = done;
        progress(done, total, unit);
    }
};
