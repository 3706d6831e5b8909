// The editor's own costs with a full field of forty cards: building the
// scene, saving after a drop (what the frame pays, and what the writer
// thread pays for the atomic write with its syncs) and the memory held.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/EditorWindow.h"
#include "bench/RatioReporter.h"
#include "cards/DeviceManager.h"
#include "cards/FieldDocument.h"
#include "cards/FieldGeometry.h"
#include "catalogue/SaveDataManager.h"
#include "engine/core/Director.h"
#include "engine/core/FileUtils.h"
#include "engine/core/Scene.h"
#include "engine/platform/GLViewImpl.h"
#include "field/FieldScene.h"
#include "ui/Localization.h"

using namespace engine;

namespace {

// A card of the full set on each of the forty rows, as a saved program holds it.
FieldDocument fullField() {
    DeviceManager* devices = DeviceManager::getInstance();
    const float H = 768;
    const int count = devices->getCardCount(CARD_SET_FULL);
    FieldDocument doc;
    for (int row = 0; row < FieldScene::kRowCount; ++row) {
        const Vec2 at = field_geometry::cardCentreOnRow(row, H);
        doc.push_back({CARD_SET_FULL, row % count, static_cast<int>(at.x), static_cast<int>(at.y), row, "1"});
    }
    return doc;
}

// Kilobytes, from the process's own accounting.
long statusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
    return -1;
}

struct Setup {
    GLViewImpl* view = nullptr;
    RefPtr<Scene> scene;
    FieldScene* field = nullptr;
    SaveData* program = nullptr;
    FieldDocument doc;

    Setup() {
        const std::string data = std::filesystem::temp_directory_path() / "corvina-bench-editor";
        std::filesystem::remove_all(data);
        std::filesystem::create_directories(data);
        FileUtils::getInstance()->setWritablePath(data);
        view = openEditorWindow();
        Director* d = Director::getInstance();
        DeviceManager::getInstance()->setCardSet(CARD_SET_FULL);
        doc = fullField();

        // A saved program, so that saving rewrites a listed document.
        program = SaveData::create();
        program->retain();
        SaveDataManager::getInstance()->saveDocument(program, documentToValue(doc));
        field = FieldScene::create(program);
        scene = Scene::create();
        scene->addChild(field);
        d->runWithScene(scene.get());
        field->loadDocument(doc);
        d->mainLoop(0);
    }
};

Setup& setup() {
    static Setup s;
    return s;
}

void BM_BuildFieldWith40Cards(benchmark::State& state) {
    const FieldDocument& doc = setup().doc;
    for (auto _ : state) {
        FieldScene* field = FieldScene::create(nullptr);
        field->loadDocument(doc);
        benchmark::DoNotOptimize(field);
        state.PauseTiming();
        AutoreleasePool::getInstance()->clear();
        state.ResumeTiming();
    }
}

// What a drop costs the frame: the document built from the field and
// handed to the writer thread.
void BM_SaveOnTheMainThread(benchmark::State& state) {
    Setup& s = setup();
    for (auto _ : state) s.field->saveFieldDocument();
    SaveDataManager::getInstance()->finishWrites();
}

// What the writer thread pays for the same document: the atomic write
// with its syncs.
void BM_AtomicWriteOfTheDocument(benchmark::State& state) {
    Setup& s = setup();
    const ValueVector document = documentToValue(s.doc);
    const std::string path = FileUtils::getInstance()->getWritablePath() + "savedatas/bench.plist";
    for (auto _ : state) benchmark::DoNotOptimize(FileUtils::getInstance()->writeValueVectorToFile(document, path));
}

BENCHMARK(BM_BuildFieldWith40Cards)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_SaveOnTheMainThread)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_AtomicWriteOfTheDocument)->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    setup();
    // Memory first, before the benchmarks build scenes of their own.
    const struct mallinfo2 heap = mallinfo2();
    std::printf("memory with a full field: resident %ld KiB (peak %ld KiB), heap in use %.1f MiB\n",
                statusKilobytes("VmRSS"), statusKilobytes("VmHWM"), static_cast<double>(heap.uordblks) / (1 << 20));
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double build = reporter.times["BM_BuildFieldWith40Cards/min_time:1.000"];
    const double main = reporter.times["BM_SaveOnTheMainThread/min_time:1.000"];
    const double write = reporter.times["BM_AtomicWriteOfTheDocument/min_time:1.000"];
    std::printf("field scene with 40 cards built in %.2f ms\n", build);
    std::printf("save after a drop: %.3f ms on the main thread (target < 2 ms), %.2f ms on the writer thread; "
                "ratio main / writer = %.2f\n",
                main, write, write > 0 ? main / write : 0.0);
    benchmark::Shutdown();
    return 0;
}
