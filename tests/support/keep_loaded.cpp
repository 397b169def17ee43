// Preloaded into a test under the leak checker (LD_PRELOAD): a library that the
// toolkit loads at run time, a platform plugin or what the plugin loads in
// turn, is never unloaded. The leak checker then still scans the memory it
// holds at exit, and a leak of its own is reported under its name instead of
// as an "<unknown module>" that no suppression can match.
extern "C" int dlclose(void *) {
    return 0;
}
