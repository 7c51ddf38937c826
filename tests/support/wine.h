#pragma once

// Whether this test runs as a Windows program under Wine rather than on Windows itself;
// false wherever it is not a Windows program.
bool RunningUnderWine();
