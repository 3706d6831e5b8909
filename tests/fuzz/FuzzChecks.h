#pragma once
// What each fuzz target asks of one input, shared by the fuzz programs and
// by the test that replays every seed and every kept finding. Each check
// returns "" when the input passes and otherwise says what went wrong; a
// crash or undefined behaviour is left for the sanitizers to report.
#include <filesystem>
#include <string>
#include <string_view>

namespace fuzzchecks {

// Any bytes, read as a property list (root, dictionary and array) and
// written back, read back the same and write the same document again.
std::string checkPlist(std::string_view bytes);

// Any bytes, read as a saved program, give only cards of the catalogue,
// inside the coordinate limit and with a plain number or none; written and
// read again they give the same program and the same document.
std::string checkFieldDocument(std::string_view bytes);

// Any bytes as the catalogue savedatas/list.plist of a writable folder made
// under `scratch`: loading it, every entry's document and thumbnail path,
// the next new paths, writing the catalogue and reading it again, saving
// into every entry, saving a new one and deleting every entry use only
// files under that folder's savedatas/, and never read, change or remove
// anything in a folder beside it. The catalogue is loaded and written
// again the same. `scratch` is emptied and filled as the check needs.
std::string checkCatalogue(std::string_view bytes, const std::filesystem::path& scratch);

// Every file and folder under `folder`, one line each, sorted: its name,
// type, size, modification time and, for a file, a hash of its content;
// for a link, where it points. Equal listings: nothing was changed.
std::string treeListing(const std::filesystem::path& folder);

// The scratch folder of a fuzz program: CORVINA_FUZZ_SCRATCH when set,
// otherwise one of this process's own in shared memory or the temporary
// folder.
std::filesystem::path defaultScratch();

} // namespace fuzzchecks
