#include "monitor/monitor_frame.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/node_operations.h"
#include "solver/joint_angles.h"

void listFittedNodes(FittedNodes& nodes) {
    nodes.count = 0;
    for (int row = 0; row < bodyPartCount; ++row) {
        if (bodyPartTable[row].flags & NoNode) continue;
        nodes.rows[nodes.count] = static_cast<std::uint8_t>(row);
        nodes.addresses[nodes.count++] = bodyPartTable[row].nodeAddress;
    }
}

int readMonitorFrame(const FittedNodes& nodes, ReaderClock clock, MonitorFrame& frame, int probe) {
    frame.failedRows = 0;
    double before = clock();
    // A failed node's vectors are cleared, so that nothing stale or half read can pass for a reading.
    for (int i = 0; i < nodes.count; ++i) {
        int row = nodes.rows[i];
        if ((probe && frame.failedRows != 0) || !readSensorVectors(nodes.addresses[i], frame.sensor[row])) {
            frame.failedRows |= 1u << row;
            std::memset(frame.sensor[row], 0, sizeof frame.sensor[0]);
        }
        double after = clock();
        frame.readAt[row] = (before + after) / 2;
        before = after;
    }
    return frame.failedRows == 0;
}

int firstFailedRow(std::uint32_t failedRows) {
    for (int row = 0; row < bodyPartCount; ++row)
        if (failedRows >> row & 1) return row;
    return -1;
}

void solveMonitorFrame(const std::int8_t sensor[bodyPartCount][6]) {
    for (int row = 0; row < bodyPartCount; ++row)
        if (!(bodyPartTable[row].flags & NoNode))
            std::memcpy(bodyPartTable[row].sensor, sensor[row], sizeof bodyPartTable[row].sensor);
    solveSensorVectors();
}

void solveFigureOfFrame(const std::int8_t sensor[bodyPartCount][6], int grounded, FigureFrame& figure) {
    Rotation world[bodyPartCount];
    nodeRotations(sensor, world);
    solveFigure(world, grounded, figure);
}

// Opening fails because nothing is there.
bool nameIsFree(const char* name) {
    errno = 0;
    std::FILE* file = std::fopen(name, "rb");
    if (file != nullptr) {
        std::fclose(file);
        return false;
    }
    return errno == ENOENT;
}

unsigned nextFreeNumber(const char* const formats[], int count, char names[][monitorNameCapacity]) {
    for (unsigned number = 1; number <= 999; ++number) {
        bool free = true;
        for (int i = 0; i < count; ++i) {
            std::snprintf(names[i], monitorNameCapacity, formats[i], number);
            free = free && nameIsFree(names[i]);
        }
        if (free) return number;
    }
    return 0;
}
