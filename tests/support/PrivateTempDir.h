#pragma once
// Every test process gets a temporary folder of its own, removed when the process ends, so that
// files a test writes never meet those of another test or of a second run at the same time.

namespace qv::test {

// Makes the folder and points TMPDIR and TEST_TMPDIR (what std::filesystem::temp_directory_path
// and ::testing::TempDir() read) and QV4820_LOCK_DIR (the device and state locks) at it. Call
// once, at the start of main.
void UsePrivateTempDir();

}  // namespace qv::test
