#pragma once
// Hands the project windows what lives in the application: file operations that
// keep documents in step, the replace question, recent projects, opening files
// as from the file manager, the Reveal in Document Tree of tabs, and the
// application commands Open Quickly and Open With.

void KELInstallApplicationProjectServices();
