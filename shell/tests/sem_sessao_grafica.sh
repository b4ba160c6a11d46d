#!/bin/sh
# kova started where no graphical session can be reached says so in Portuguese and ends with
# status 1: with no display named, and with a display named that does not answer.
#   sem_sessao_grafica.sh KOVA
kova="$1"
falhou=0
confere() {
    descricao="$1"
    shift
    saida="$(env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" "$kova" 2>&1)"
    status=$?
    if [ "$status" -ne 1 ] || ! printf '%s' "$saida" | grep -q "precisa de uma sessão gráfica"; then
        echo "FALHOU $descricao: status $status, saída: $saida"
        falhou=1
    fi
}
confere "sem display" -u DISPLAY
# A display number no X server of this machine uses: nothing listens there.
confere "display que não responde" DISPLAY=:31999
[ "$falhou" -eq 0 ] && echo "1 passed, 0 failed"
exit "$falhou"
