// Removing what a run extracted, once the installer it waited for has ended (Win32).
#pragma once

#include "startup/extraction_job.h"

// Deletes exactly the files and folders this run created (CreatedEntryCount entries of the
// payload, read again from the program file the run holds), files first, then folders deepest
// first, then the run's folder when it is empty (through context->held_folder where the run holds
// it, which is closed then). Nothing that is or lies behind a link or junction
// is touched, and a folder that another program filled stays. A name that fails the extractor's
// checks ends the clean-up there. Each thing that stays goes to the log. Returns true when
// everything went.
bool RemoveExtractedFiles(const WorkerContext* context);
