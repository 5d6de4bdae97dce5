#pragma once

class MainMenuObject;

// Hands the main menu the work windows it opens, which live in libraries above the shell,
// and the data-link import that the patient-entry button starts; hands the measuring window
// its result screen.
void installWindowFactories(MainMenuObject &menu);
