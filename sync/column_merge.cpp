#include "sync/column_merge.h"

namespace column_merge {

using contact_table::Column;

namespace {

bool isEmpty(const QVariant& value) {
    return !value.isValid() || value.toString().isEmpty();
}

bool isDate(Column column) {
    return column == Column::CreatedOn || column == Column::ModifiedOn;
}

} // namespace

QVariant unknownGround() {
    // No text is stored as a number, so this is unequal to every value either side can hold.
    return QVariant(-1);
}

Merged merge(const RowValues& synced, const RowValues& local, const RowValues& remoteBefore,
             const RowValues& remoteNow, Prefer prefer) {
    Merged merged;
    for (std::size_t i = 0; i < synced.size(); ++i) {
        const bool localChanged = local[i] != synced[i];
        const bool remoteChanged = remoteNow[i] != remoteBefore[i];
        QVariant& value = merged.values[i];
        if (remoteChanged && !(localChanged && local[i] != remoteNow[i]))
            value = remoteNow[i];
        else if (!localChanged || !remoteChanged || prefer == Prefer::Local)
            value = local[i];
        else if (prefer == Prefer::Remote)
            value = remoteNow[i];
        else
            merged.conflicts.append({Column(i), local[i], remoteNow[i]});
        if (!merged.conflicts.isEmpty() && merged.conflicts.last().column == Column(i))
            continue;
        merged.pullNeeded = merged.pullNeeded || value != local[i];
        merged.pushed[i] = localChanged && value != remoteNow[i];
        merged.pushNeeded = merged.pushNeeded || merged.pushed[i];
    }
    return merged;
}

Ground pairingGround(const RowValues& local, const RowValues& remote) {
    Ground ground;
    for (std::size_t i = 0; i < local.size(); ++i) {
        QVariant& synced = ground.synced[i];
        if (isEmpty(local[i]) || local[i] == remote[i] || (isDate(Column(i)) && isEmpty(remote[i])))
            synced = local[i];
        else if (isEmpty(remote[i]))
            synced = remote[i];
        else
            synced = unknownGround();
        const bool datesOfOursOnly = isDate(Column(i)) && isEmpty(remote[i]);
        ground.remoteBefore[i] = datesOfOursOnly ? remote[i] : synced;
    }
    return ground;
}

} // namespace column_merge
