// Random edit sessions from a fixed seed, each saved, opened again and
// rendered by the command-line tool.
#include "edits/EditSessionFixture.h"

// Random sessions from a fixed seed. After each the program is saved,
// opened again and saved once more: both saves must be the same file with
// the same cards on the same rows, and what the editor would send must be
// what the command-line tool renders from the saved file, refusals alike.
TEST_F(EditSessionTest, EverySessionSavesOpensAndSavesTheSameAndTheToolRendersWhatTheEditorSends) {
    seed = testsupport::proofSeed(7304);
    // Under the sanitizers, which look at memory and threads rather than at
    // the field's logic, a shorter run.
    const int sessions = testsupport::proofRounds(std::getenv("CORVINA_SANITIZED") ? 40 : 100, 1000);
    const auto start = std::chrono::steady_clock::now();
    random.seed(seed);
    for (int s = 0; s < sessions; ++s)
        if (!runSession(s)) return;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << sessions << " sessions (seed " << seed << "): " << gestures << " gestures, " << cardCount
              << " cards checked, " << refusals << " refusals compared, " << std::fixed << std::setprecision(1)
              << seconds << " s\n ";
    for (const auto& [what, count] : tally) std::cout << " " << count << " " << what << ";";
    std::cout << "\n";
}

TEST_F(EditSessionTest, TheSameSeedGivesTheSameSessions) {
    const unsigned from = testsupport::proofSeed(7304);
    const std::string first = runSessions(from, 4);
    ASSERT_FALSE(HasFailure());
    // From the same start: nothing saved, the same dialect and card set.
    std::filesystem::remove_all(dataDir + "savedatas");
    SaveDataManager::resetForTests();
    DeviceManager::getInstance()->setCardSet(CARD_SET_BASIC);
    DeviceManager::getInstance()->setDialect(DIALECT_JAM);
    openEditor(nullptr);
    const std::string second = runSessions(from, 4);
    EXPECT_EQ(first, second);
}
