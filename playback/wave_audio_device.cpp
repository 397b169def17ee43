#include "playback/wave_audio_device.h"
