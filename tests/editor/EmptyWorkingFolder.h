#pragma once
// Runs a whole test program in an empty folder it may not write to, as hosts started from
// a folder of their own (or under Program Files) run: the editors opened there must work
// and read and write no file of their own. At the end the folder must still be empty.

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

namespace editortest {

class EmptyWorkingFolder : public ::testing::Environment {
public:
    void SetUp() override
    {
        char here[PATH_MAX];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        before = here;
        char name[] = "/tmp/tw07-cwd-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        folder = name;
        ASSERT_EQ(chmod(name, 0555), 0);
        ASSERT_EQ(chdir(name), 0);
    }

    void TearDown() override
    {
        if (folder.empty()) return;
        EXPECT_EQ(entries(), 0) << folder << " is no longer empty";
        EXPECT_EQ(chdir(before.c_str()), 0);
        chmod(folder.c_str(), 0755);
        rmdir(folder.c_str());
    }

private:
    int entries() const
    {
        int count = 0;
        if (DIR* dir = opendir(folder.c_str())) {
            while (const dirent* entry = readdir(dir)) count += entry->d_name[0] == '.' ? 0 : 1;
            closedir(dir);
        }
        return count;
    }

    std::string before;
    std::string folder;
};

}  // namespace editortest
