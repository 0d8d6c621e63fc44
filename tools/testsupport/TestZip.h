// Writes zip archives for tests with minizip's own writer, so archives of
// any shape (many members, long names, binary data) are made on the spot
// instead of being kept as files. Link PkgConfig::MINIZIP.
#pragma once

#include <gtest/gtest.h>
#include <minizip/zip.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

// Writes a zip archive with the given members (name, content).
inline void WriteZip(std::filesystem::path const &path,
                     std::vector<std::pair<std::string, std::string>> const &members)
{
    std::filesystem::create_directories(path.parent_path());
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    ASSERT_NE(zip, nullptr);
    for (auto const &[name, content] : members) {
        zip_fileinfo info{};
        ASSERT_EQ(zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                      Z_DEFAULT_COMPRESSION),
                  ZIP_OK);
        ASSERT_EQ(zipWriteInFileInZip(zip, content.data(), static_cast<unsigned>(content.size())), ZIP_OK);
        ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
    }
    ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}
