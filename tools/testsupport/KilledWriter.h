// Saves written while the writer is killed at random points: a child
// process writes round after round until a kill stops it somewhere inside
// a write, and the test looks at what the kill left. Link GTest.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <random>
#include <thread>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace QuintarTest {

// Forks `rounds` writers; each calls write(n) for n = first, first + 1, ...
// and is killed 1-25 ms after its first write ended (so every kill finds a
// writer under way however loaded the machine is). After each kill,
// check(round) looks at the files. `first` carries on from round to round,
// so consecutive rounds write new contents.
template <typename Write, typename Check>
void KillWritersAtRandom(int rounds, uint32_t seed, Write write, Check check)
{
    std::mt19937 random(seed);
    uint32_t first = 1;
    for (int round = 0; round < rounds; ++round) {
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(started[0]);
            for (uint32_t n = first;; ++n) {
                write(n);
                if (n == first) {
                    const char one = 1;
                    (void)!::write(started[1], &one, 1);
                    close(started[1]);
                }
            }
        }
        close(started[1]);
        pollfd wait{started[0], POLLIN, 0};
        char one = 0;
        const bool wrote = poll(&wait, 1, 60000) == 1 && read(started[0], &one, 1) == 1;
        close(started[0]);
        if (wrote)
            std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % 24000));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(wrote) << "the writer never finished its first write";
        first += 1000;
        SCOPED_TRACE("round " + std::to_string(round));
        check(round);
    }
}

} // namespace QuintarTest
