// Where qjxpack finds the stock stubs that ship with it. They lie at fixed places relative to the
// program, so that an installed package and an unpacked zip work wherever they are put.
#pragma once

#include <string>
#include <vector>

namespace qjxpack {

// The places, in order, where the stock stub for arch is looked for, for a qjxpack in
// program_folder (with its closing separator; empty when unknown):
//   <arch>/qjxsea.exe beside the program   (the Windows zip, and a Windows build tree)
//   ../lib/qjxpack/<arch>/qjxsea.exe       (the Linux package: /usr/bin and /usr/lib)
// and last built_stub, the stub a build tree beside this one made, unless it is empty.
std::vector<std::string> StubPlaces(const std::string& program_folder, const std::string& arch,
                                    const std::string& built_stub);

// The first of places that is a file; empty when none is.
std::string FirstFile(const std::vector<std::string>& places);

}  // namespace qjxpack
