#pragma once

#include <QString>

/// Tests of what a full disk or a read-only installation does. A test
/// function runs itself a second time in a child process that has a small,
/// fresh tmpfs of its own at folder() (in a private mount namespace: as root
/// a mount namespace is enough, otherwise a user namespace maps the user to
/// root). The child sets up its files there, fills the disk with fill() or
/// makes a file or folder read-only, and makes its checks; the parent
/// passes when the child did. The tmpfs goes away with the child.
///
///     void tst_X::aFullDiskKeepsTheOldFile()
///     {
///         TEST_DISK_CHILD(256); // the parent returns here
///         ... write the old file into TestDisk::folder() ...
///         TestDisk::fill(0);
///         QVERIFY(!write(...)); ...
///     }
namespace TestDisk {

/// The tmpfs in the child; "" in the parent.
QString folder();
/// Fills folder() so that about freeBytes stay free (tmpfs counts whole pages).
void fill(qint64 freeBytes);
/// Makes path (a file or a folder on the tmpfs, or the tmpfs itself) read-only
/// for everybody, root included: writes fail with "Read-only file system".
bool makeReadOnly(const QString& path);
/// Runs the current test function with its data tag in the child, with a
/// tmpfs of sizeKiB at folder(). False with *output holding what the child
/// printed when it did not pass.
bool runInChild(int sizeKiB, QString* output);

} // namespace TestDisk

/// In the parent: runs the current test in the child and returns; in the
/// child: goes on with the test.
#define TEST_DISK_CHILD(sizeKiB)                                                                   \
    do {                                                                                           \
        if (TestDisk::folder().isEmpty()) {                                                        \
            QString childOutput_;                                                                  \
            QVERIFY2(TestDisk::runInChild(sizeKiB, &childOutput_), qPrintable(childOutput_));      \
            return;                                                                                \
        }                                                                                          \
    } while (false)
