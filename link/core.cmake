target_sources(zuno_core PRIVATE echo.cpp echo.h replydecoder.cpp replydecoder.h rxbuffer.cpp rxbuffer.h)
