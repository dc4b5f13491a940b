#pragma once

#include <QString>

/// Tests of writes on a full disk. A test function runs itself a second
/// time in a child process that sees a small, fresh tmpfs at folder() (in a
/// mount namespace of its own: as root a mount namespace is enough,
/// otherwise a user namespace maps the user to root). The child fills it up
/// with fill(), writes, and makes its checks; the parent passes when the
/// child did. The tmpfs goes away with the child.
///
///     void tst_X::aFullDiskKeepsTheOldFile()
///     {
///         FULL_DISK_CHILD(256); // the parent returns here
///         QFile old(FullDisk::folder() + "/f"); ...
///         FullDisk::fill(0);
///         QVERIFY(!write(...)); ...
///     }
namespace FullDisk {

/// The tmpfs in the child; "" in the parent.
QString folder();
/// Fills folder() so that about freeBytes stay free (tmpfs counts whole pages).
void fill(qint64 freeBytes);
/// Runs the current test function with its data tag in the child, with a
/// tmpfs of sizeKiB at folder(). False with *output holding what the child
/// printed when it did not pass.
bool runInChild(int sizeKiB, QString* output);

} // namespace FullDisk

/// In the parent: runs the current test in the child and returns; in the
/// child: goes on with the test.
#define FULL_DISK_CHILD(sizeKiB)                                                                   \
    do {                                                                                           \
        if (FullDisk::folder().isEmpty()) {                                                        \
            QString childOutput_;                                                                  \
            QVERIFY2(FullDisk::runInChild(sizeKiB, &childOutput_), qPrintable(childOutput_));      \
            return;                                                                                \
        }                                                                                          \
    } while (false)
