#pragma once
// The unit's built-in contents: ten banks (0 to 6, 10, 12 and 20; bank 7 is the first free
// number, bank 20 is empty) with factory programs and some user programs. Bank 0 mixes factory
// programs 0 to 3 with user programs 5 and 6, so a program loaded into it lands on 4; bank 10
// holds user programs 0, 1 and 3, so a load lands on 2. Names with an apostrophe ("Mike's
// Plate", bank "Jo's Scratch") and with a percent sign are included, and most programs carry
// three lines of information text, one of them with a percent sign. "Monitor Slap" has none.

class CSimLibrary;

namespace sim {

// Replaces whatever the library holds with the built-in contents.
void LoadFactorySet(CSimLibrary& library);

}  // namespace sim
