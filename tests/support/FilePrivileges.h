#pragma once

// Tests that need a file the program may not read run as root in CI, where
// permission bits are not enforced. Dropping the capabilities that override
// them makes root subject to the bits like any user. Returns false when they
// could not be dropped; a no-op for other users.
bool dropFileAccessOverride();

// The same for a program the test starts, called in the child between fork
// and exec (QProcess::setChildProcessModifier): root regains every capability
// of its bounding set at exec, so the override is taken out of that set.
// Returns false when it could not be; a no-op for other users.
bool dropFileAccessOverrideAcrossExec();
