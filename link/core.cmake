target_sources(zuno_core PRIVATE echo.cpp echo.h rxbuffer.cpp rxbuffer.h)
