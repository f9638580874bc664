-- The preview from Neovim 0.7: the language server's command opens it, a
-- drag on the page becomes an edit of the buffer, :undo takes it back and
-- the page follows. Env: SCENARIO, CARTELLA (built-in sources), PAGINA
-- (tests/browser). Quits 0 when every check passes, 1 when one fails.
local ATTESA = 30000 -- ms; bounded waits only

local function scrivi(s)
  io.stdout:write(s .. '\n')
  io.stdout:flush()
end
local orologio = vim.loop.new_timer()
orologio:start(200000, 0, function()
  io.stderr:write('anteprima.lua: tempo scaduto\n')
  os.exit(3)
end)
local fallite = 0
local function verifica(ok, cosa)
  scrivi((ok and 'ok   ' or 'FAIL ') .. cosa)
  if not ok then
    fallite = fallite + 1
  end
  return ok
end

local function principale()
  local cartella = os.getenv('CARTELLA')
  local file_treno = cartella .. '/FerziaPS-Calvorano_24617-.txt'
  local indirizzo, registrato
  local id = vim.lsp.start_client({
    name = 'scenario',
    cmd = vim.split(os.getenv('SCENARIO_LSP'), '\t'),
    root_dir = cartella,
    flags = { debounce_text_changes = 20 },
    handlers = {
      ['window/showDocument'] = function(_, result)
        indirizzo = result.external and result.uri or nil
        return { success = true }
      end,
      ['window/logMessage'] = function(_, result)
        registrato = registrato or (result.message:match('http://127%.0%.0%.1:%d+/%?t=%x+'))
      end,
    },
  })
  vim.cmd('edit ++enc=cp1252 ' .. vim.fn.fnameescape(file_treno))
  local b = vim.api.nvim_get_current_buf()
  vim.lsp.buf_attach_client(b, id)
  vim.wait(ATTESA, function()
    local c = vim.lsp.get_client_by_id(id)
    return c ~= nil and c.initialized
  end, 20)
  local c = vim.lsp.get_client_by_id(id)
  local comandi = c and c.server_capabilities.executeCommandProvider
  verifica(comandi and vim.tbl_contains(comandi.commands, 'scenario.anteprima'), 'comando annunciato')
  local prima = vim.api.nvim_buf_get_lines(b, 0, -1, true)
  c.request('workspace/executeCommand', { command = 'scenario.anteprima', arguments = { vim.uri_from_bufnr(b) } },
    function() end, b)
  vim.wait(ATTESA, function()
    return indirizzo ~= nil and registrato ~= nil
  end, 20)
  if not verifica(indirizzo ~= nil and indirizzo == registrato, 'pagina aperta fuori e indirizzo scritto nel registro') then
    return
  end

  local uscita, detto = nil, {}
  local pagina = vim.fn.jobstart({ 'node', 'editor.mjs', indirizzo }, {
    cwd = os.getenv('PAGINA'),
    on_stdout = function(_, dati)
      for _, l in ipairs(dati) do
        if l ~= '' then
          detto[l] = true
          scrivi('  pagina: ' .. l)
        end
      end
    end,
    on_exit = function(_, s)
      uscita = s
    end,
  })
  vim.wait(120000, function()
    return detto['trascinato'] or uscita ~= nil
  end, 20)
  if uscita == 77 then
    scrivi('SALTATO: manca Chromium')
    vim.cmd('cquit 77')
  end
  if not verifica(detto['trascinato'], 'GRUZO trascinato e ridisegnato') then
    return
  end
  local dopo = vim.api.nvim_buf_get_lines(b, 0, -1, true)
  local attesa = vim.deepcopy(prima)
  attesa[24] = prima[24]:gsub('21600', '21800', 1)
  verifica(vim.deep_equal(dopo, attesa), 'solo la riga 24 cambia: ' .. vim.inspect(dopo[24]))
  vim.cmd('silent undo')
  verifica(vim.deep_equal(vim.api.nvim_buf_get_lines(b, 0, -1, true), prima), ':undo riporta il buffer')
  vim.fn.chansend(pagina, 'annullato\n')
  vim.wait(60000, function()
    return uscita ~= nil
  end, 20)
  verifica(detto['seguito'] and uscita == 0, 'la pagina segue l\'undo')
  vim.lsp.stop_client(id)
end

local ok, err = xpcall(principale, debug.traceback)
if not ok then
  verifica(false, 'errore Lua: ' .. tostring(err))
end
orologio:stop()
for _, c in ipairs(vim.lsp.get_active_clients()) do
  c.stop(true)
end
vim.cmd(fallite > 0 and 'cquit 1' or 'qall!')
